// Takes the README's picture: the real window on a recording, its first memo group's voiceprint
// with the pitch and the memos, saved as a PNG. Run under a display (Xvfb will do):
//   vocalith-screenshot demo.wav docs/screenshot.png
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/timer.h>

#include "engine/analysis/CWorkMemory.h"
#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"

class ShotApp : public MyApp {
public:
    bool OnInit() override {
        if (argc != 3)
            return false;
        wxImage::AddHandler(new wxPNGHandler);
        m_frame = createMainFrame(argv[1]);
        m_frame->SetSize(1500, 1050);
        m_frame->CallAfter([this] {
            m_dataLock.Lock(); // the computation gives it back when it ends
            m_frame->moveToBase(0);
            m_frame->calcSSFTBase();
            m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
            m_timer.Start(200);
        });
        return true;
    }

private:
    void poll() {
        if (m_frame->m_voiceprintRunning || ++m_ticks < 5)
            return;
        if (!m_pitch) {
            m_pitch = true;
            m_frame->calcPitch();
            return;
        }
        m_timer.Stop();
        m_frame->Raise();
        m_frame->Update();
        const wxRect r = m_frame->GetScreenRect();
        wxBitmap shot(r.width, r.height);
        {
            wxMemoryDC to(shot);
            wxScreenDC from;
            to.Blit(0, 0, r.width, r.height, &from, r.x, r.y);
        }
        const bool ok = shot.ConvertToImage().SaveFile(argv[2], wxBITMAP_TYPE_PNG);
        m_frame->Close(true);
        m_result = ok ? 0 : 1;
    }
    int OnRun() override {
        MyApp::OnRun();
        return m_result;
    }

    MyFrame* m_frame = nullptr;
    wxTimer m_timer;
    int m_ticks = 0;
    bool m_pitch = false;
    int m_result = 1;
};

int main(int argc, char** argv) {
    wxApp::SetInstance(new ShotApp);
    return wxEntry(argc, argv);
}
