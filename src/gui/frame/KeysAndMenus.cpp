#include <cstdlib>

#include <wx/dnd.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/memo/CArchMemo.h"
#include "engine/render/ReadoutMath.h"
#include "engine/sound/CWavPara.h"
#include "gui/frame/MyFrame.h"
#include "gui/panels/DragShape.h"

namespace {

class FileDrop : public wxFileDropTarget {
public:
    explicit FileDrop(MyFrame* frame) : m_frame(frame) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) override {
        if (files.IsEmpty())
            return false;
        // After the drop has finished: opening may ask questions.
        const wxString path = files[0];
        m_frame->CallAfter(
            [frame = m_frame, path] { frame->openFile(path, MyFrame::openedByDrop); });
        return true;
    }

private:
    MyFrame* m_frame;
};

bool editableTextHasFocus() {
    auto* text = dynamic_cast<wxTextCtrl*>(wxWindow::FindFocus());
    return text && text->IsEditable();
}

// Space presses a focused button or check box, and the arrows belong to the slider, the choice
// and the log list; the window takes those keys only when no such control has the focus.
bool controlKeepsKey(int keyCode) {
    switch (keyCode) {
    case WXK_SPACE:
    case WXK_LEFT:
    case WXK_RIGHT:
    case WXK_UP:
    case WXK_DOWN:
    case WXK_HOME:
    case WXK_END:
        break;
    default:
        return false;
    }
    const wxWindow* focus = wxWindow::FindFocus();
    return dynamic_cast<const wxButton*>(focus) || dynamic_cast<const wxCheckBox*>(focus) ||
           dynamic_cast<const wxSlider*>(focus) || dynamic_cast<const wxChoice*>(focus) ||
           dynamic_cast<const wxListBox*>(focus);
}

// Redrawing after a move gives the parameter block the focus (a side effect of writing it);
// a command started from a key or the wheel hands the focus back, so the next key works too.
class KeepFocus {
public:
    explicit KeepFocus(wxWindow* fallback)
        : m_before(wxWindow::FindFocus() ? wxWindow::FindFocus() : fallback) {}
    ~KeepFocus() {
        if (editableTextHasFocus() && m_before)
            m_before->SetFocus();
    }

private:
    wxWindow* m_before;
};

} // namespace

// ---------------------------------------------------------------------------
// Menus

wxMenu* MyFrame::commandMenu(MenuPlace place) {
    auto* menu = new wxMenu;
    for (const Command& c : windowCommands()) {
        if (c.menu != place)
            continue;
        if (c.separatorBefore)
            menu->AppendSeparator();
        menu->Append(c.id, wxString::FromUTF8(menuLabel(c)), c.help);
    }
    return menu;
}

wxMenu* MyFrame::buildFileMenu() {
    wxMenu* fileMenu = commandMenu(MenuPlace::file);
    auto* recent = new wxMenu;
    fileMenu->Insert(1, wxID_ANY, "Recent &files", recent, "Sounds and memo files opened before");
    // Kept only while the program runs: nothing is stored between runs.
    m_fileHistory = std::make_unique<wxFileHistory>(9, ID_RecentFirst);
    m_fileHistory->UseMenu(recent);
    return fileMenu;
}

wxMenu* MyFrame::buildViewMenu() {
    m_viewMenu = commandMenu(MenuPlace::view);
    m_viewMenu->AppendSeparator();
    // Off at every start: a stored parameter block keeps the dB range it names.
    m_viewMenu->AppendCheckItem(ID_ViewFitDb, "&Fit dB range to the recording",
                                "Set each new voiceprint's dB range from the stretch's levels");
    m_viewMenu->Check(ID_ViewFitDb, m_fitDbRange);
    return m_viewMenu;
}

// ---------------------------------------------------------------------------
// Keys

// The View menu's commands and the zoom keys, whatever asked for them.
void MyFrame::runViewCommand(int id) {
    switch (id) {
    case ID_ViewVoiceprint:
        toVoiceprint();
        break;
    case ID_ViewOtherMethod:
        if (m_canvasPanel->plotKind() != plotVoiceprint)
            wxLogMessage("no voiceprint shown: press V to compute one first.");
        else if (m_canvasPanel->voiceprintMethod() == 2)
            toHammingWindow();
        else
            toWidebandPhase();
        break;
    case ID_ViewPitch:
        if (m_canvasPanel->plotKind() != plotVoiceprint)
            wxLogMessage("pitch is drawn on a voiceprint: press V to compute one first.");
        else
            calcPitch();
        break;
    case ID_ViewLevel:
        scrollInTime(0); // leaves the view where it is: the stretch's level spectrum again
        break;
    case ID_ZoomIn:
        zoomAround(m_sound.work()->m_excutionSize / 2);
        break;
    case ID_ZoomOut:
        if (zoomedIn())
            unsetRange();
        break;
    default:
        break;
    }
}

bool MyFrame::handleKey(int keyCode, int modifiers) {
    const Command* command = commandForKey(keyCode, modifiers);
    if (!command)
        return false;
    // A Ctrl accelerator belongs to its menu item; other keys give way to a text box being typed
    // in and to the focused control that uses them (F1 is nobody's).
    if (command->accelerator ? (modifiers & wxMOD_CONTROL) != 0
                             : editableTextHasFocus() || controlKeepsKey(keyCode))
        return false;
    KeepFocus focus(m_canvasPanel);
    runCommand(command->id);
    return true;
}

bool MyFrame::runCommand(int id) {
    const Command* command = commandWithId(id);
    if (!command)
        return false;
    if (!mayRun(command->action)) {
        // While a voiceprint is computed its dialog holds every input; a tour is long and says so.
        if (!mayRun(Action::editMemos))
            wxLogMessage("%s", kTourRunsLine);
        return true;
    }
    command->run(*this);
    return true;
}

void MyFrame::playOrStop() {
    if (m_playback.playing())
        toStop();
    else
        toPlay();
}

void MyFrame::showKeyHelp() {
    wxMessageBox(wxString::FromUTF8(keyHelpText()), "Keys and mouse", wxOK | wxICON_INFORMATION,
                 this);
}

long MyFrame::tenthOfStretch() const {
    const CWorkMemory& work = *m_sound.work();
    const long hop = std::max<long>(work.m_interval, 1);
    return std::max(1L, long(work.m_excutionSize) / 10 / hop) * hop;
}

long MyFrame::wholeStretch() const {
    const CWorkMemory& work = *m_sound.work();
    const long hop = std::max<long>(work.m_interval, 1);
    return std::max(1L, long(work.m_excutionSize) / hop) * hop;
}

void MyFrame::navigateKeepingView(const std::function<void()>& move) {
    const myCanvasPanel& main = *m_canvasPanel;
    const bool voiceprint = main.plotKind() == plotVoiceprint;
    const int method = main.voiceprintMethod();
    const bool pitch = voiceprint && main.showsPitch();
    move();
    // A move that could not go anywhere leaves the voiceprint on the panel.
    if (voiceprint && m_canvasPanel->plotKind() != plotVoiceprint)
        startQuietVoiceprint(method, pitch);
}

// ---------------------------------------------------------------------------
// Axes

void MyFrame::updateAxisSpan(myCanvasPanel* panel) const {
    const CWavPara& wave = *m_sound.wave();
    const long rate = wave.m_sampleFreq;
    panel->setAxis(0.0, 0.0);
    if (rate <= 0 || wave.m_totalSamples <= 0)
        return;
    const double stretch = double(wave.m_windowStart) + wave.m_cursor;
    if (panel == m_canvasPanel && panel->plotKind() == plotLevelSpectrum) {
        if (panel->levelCount() > 0)
            panel->setAxis(0.0, rate * 0.5 / panel->levelCount());
        return;
    }
    if (panel == m_canvasPanelUp || panel == m_canvasPanel)
        panel->setAxis(stretch / rate, 1.0 / rate);
    else if (panel == m_canvasPanelSub2)
        panel->setAxis(double(wave.m_windowStart) / rate, 1.0 / rate);
    else
        panel->setAxis(0.0, double(wave.m_overviewStep) / rate);
}

// ---------------------------------------------------------------------------
// Zoom

void MyFrame::zoomAround(long stretchOffset) {
    const CWorkMemory& work = *m_sound.work();
    if (!work.m_wave || !mayRun(Action::navigate))
        return;
    const long E = work.m_excutionSize;
    const long shortest = work.m_ssftSize + 10 * work.m_interval + 1; // ten frames
    const long length = std::max(E / 2, shortest);
    if (length >= E) {
        wxLogMessage("cannot zoom in further: %ld samples is the shortest stretch with ten frames.",
                     E);
        return;
    }
    myCanvasPanel& up = *m_canvasPanelUp;
    up.select(int(std::clamp(stretchOffset - length / 2, 0L, E - length)), int(length));
    setRange();
}

// ---------------------------------------------------------------------------
// Wiring

void MyFrame::bindNewcomerAids() {
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
        if (!handleKey(e.GetKeyCode(), e.GetModifiers()))
            e.Skip();
    });
    for (const Command& c : windowCommands())
        Bind(
            wxEVT_MENU, [this](wxCommandEvent& e) { runCommand(e.GetId()); }, c.id);
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& e) { m_fitDbRange = e.IsChecked(); }, ID_ViewFitDb);
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent& e) {
            const size_t i = size_t(e.GetId() - ID_RecentFirst);
            if (i >= m_fileHistory->GetCount())
                return;
            const wxString path = m_fileHistory->GetHistoryFile(i);
            if (!wxFileName::FileExists(path)) {
                wxLogMessage("%s no longer exists; taken off Recent files.", path);
                m_fileHistory->RemoveFileFromHistory(i);
                return;
            }
            openFile(path, openedFromRecent);
        },
        ID_RecentFirst, ID_RecentFirst + 8);
    SetDropTarget(new FileDrop(this));

    // Tooltips name what each button does, and the key where one does the same.
    const std::pair<int, const char*> tips[] = {
        {ID_Read, "Open a sound (.wav) or its memo file (.vlh, .txt, .trn)  Ctrl+O"},
        {ID_Save, "Save the memo list beside the sound (.vlh)  Ctrl+S"},
        {ID_Confirm, "Apply the edited parameter block"},
        {ID_ExportWav, "Write the sound under the memos into a new WAV file  Ctrl+E"},
        {ID_Restore, "Redraw every panel"},
        {ID_LLLeft, "Stretch back 100 samples"},
        {ID_LLeft, "Stretch back 20 samples"},
        {ID_Left, "Stretch back 1 sample"},
        {ID_Rigth, "Stretch forward 1 sample"},
        {ID_RRigth, "Stretch forward 20 samples"},
        {ID_RRRigth, "Stretch forward 100 samples"},
        {ID_MostLLLLeft, "Window to the start of the sound"},
        {ID_LLLLeft, "Window back by the jump distance (the box on the right)  PageUp"},
        {ID_RRRRigth, "Window forward by the jump distance  PageDown"},
        {ID_PlayNonMute, "Play the selection of the waveform  Space"},
        {ID_Stop, "Stop playing  Space"},
        {ID_SearchRigth, "Find the next memo holding the search text"},
        {ID_SearchLeft, "Find the previous memo holding the search text"},
        {ID_MemoTour, "Visit the memo groups one after another"},
        {ID_LockMemo, "Stop the memo tour"},
        {ID_MemoTourCont, "Continue the memo tour from the group shown"},
    };
    for (const auto& [id, tip] : tips)
        if (wxWindow* button = m_panel->FindWindow(id))
            button->SetToolTip(tip);
    m_jumptext->SetToolTip("Jump distance in samples for \"<<<<\" and \">>>>\"");
    m_slider->SetToolTip("Where the analysed stretch lies in the window");

    // The wheel scrolls in time; with Ctrl it zooms around the pointer.
    for (myCanvasPanel* panel : {m_canvasPanelUp, m_canvasPanel, m_canvasPanelSub2})
        panel->Bind(wxEVT_MOUSEWHEEL, [this, panel](wxMouseEvent& e) { wheel(panel, e); });
    // A click on the overview moves the window there; its memo marks show their text.
    m_canvasPanelSub->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
        e.Skip();
        const myCanvasPanel& sub = *m_canvasPanelSub;
        if (sub.FindShape(e.GetPosition()))
            return;
        const long i = sub.overviewIndexAt(e.GetX(), e.GetY());
        if (i >= 0)
            centreOn(i * long(m_sound.wave()->m_overviewStep));
    });
    m_canvasPanelSub->Bind(wxEVT_MOTION, [this](wxMouseEvent& e) {
        e.Skip();
        const DragShape* mark = m_canvasPanelSub->FindShape(e.GetPosition());
        const int slot = mark ? m_memos.slotOfTitle(mark->m_titleNo) : -1;
        const CArchMemo* memo = slot >= 0 ? m_memos.subAt(size_t(slot)) : nullptr;
        const wxString tip = memo ? memo->m_memoText : wxString();
        if (m_canvasPanelSub->GetToolTipText() != tip)
            m_canvasPanelSub->SetToolTip(tip); // an empty text removes the tooltip
    });

    m_slowRunTimer = std::make_unique<wxTimer>(this, ID_SlowRunTimer);
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { showProgressDialog(); }, ID_SlowRunTimer);
    m_resizeTimer = std::make_unique<wxTimer>(this, ID_ResizeTimer);
    // Axes follow what each panel shows at the moment it is painted.
    for (myCanvasPanel* panel :
         {m_canvasPanelUp, m_canvasPanel, m_canvasPanelSub, m_canvasPanelSub2}) {
        panel->Bind(wxEVT_PAINT, [this, panel](wxPaintEvent& e) {
            updateAxisSpan(panel);
            e.Skip();
        });
        // Resizing redraws once the size has settled.
        panel->Bind(wxEVT_SIZE, &MyFrame::OnPanelSize, this);
    }
    Bind(
        wxEVT_TIMER, [this](wxTimerEvent&) { redrawAfterResize(); }, ID_ResizeTimer);
}

void MyFrame::OnPanelSize(wxSizeEvent& e) {
    e.Skip();
    m_resizeTimer->StartOnce(150);
}

void MyFrame::unbindNewcomerAids() {
    // The timer goes with the frame; the panels may still be resized while they are destroyed.
    for (myCanvasPanel* panel :
         {m_canvasPanelUp, m_canvasPanel, m_canvasPanelSub, m_canvasPanelSub2})
        panel->Unbind(wxEVT_SIZE, &MyFrame::OnPanelSize, this);
    m_resizeTimer->Stop();
    m_slowRunTimer->Stop();
}

void MyFrame::wheel(myCanvasPanel* panel, wxMouseEvent& e) {
    const CWorkMemory& work = *m_sound.work();
    if (!work.m_wave || work.m_interval < 1)
        return;
    const int delta = e.GetWheelDelta() > 0 ? e.GetWheelDelta() : 120;
    m_wheelRotation += e.GetWheelRotation();
    const int notches = m_wheelRotation / delta;
    m_wheelRotation -= notches * delta;
    if (notches == 0)
        return;
    KeepFocus focus(m_canvasPanel);
    if (!mayRun(Action::navigate))
        return;
    navigateKeepingView([&] { wheelMove(panel, e, notches); });
}

void MyFrame::wheelMove(myCanvasPanel* panel, const wxMouseEvent& e, int notches) {
    const CWorkMemory& work = *m_sound.work();
    if (e.ControlDown()) {
        if (notches < 0) {
            runViewCommand(ID_ZoomOut);
            return;
        }
        // The pointer's place in the stretch; the middle where the panel cannot tell.
        long offset = work.m_excutionSize / 2;
        if (panel == m_canvasPanelUp && panel->showsWave()) {
            offset = panel->waveIndexAt(e.GetX(), e.GetY());
        } else if (panel == m_canvasPanel && panel->plotKind() == plotVoiceprint) {
            const VoiceprintPoint at =
                voiceprintPointAt(panel->voiceprintGeometry(), e.GetX(), e.GetY());
            if (at.onPicture)
                offset = at.sampleOffset + work.m_ssftSize / 2;
        } else if (panel == m_canvasPanelSub2 && panel->showsWave()) {
            offset = panel->waveIndexAt(e.GetX(), e.GetY()) - m_sound.wave()->m_cursor;
        }
        zoomAround(std::clamp(offset, 0L, long(work.m_excutionSize)));
        return;
    }
    // Whole hops, about a tenth of the stretch per notch; the wheel turned up goes back.
    const long hops = std::max(1L, long(work.m_excutionSize) / 10 / work.m_interval);
    const long direction = e.GetWheelAxis() == wxMOUSE_WHEEL_HORIZONTAL ? 1 : -1;
    scrollInTime(direction * notches * hops * work.m_interval);
}

void MyFrame::redrawAfterResize() {
    bool changed = false;
    for (myCanvasPanel* panel :
         {m_canvasPanelUp, m_canvasPanel, m_canvasPanelSub, m_canvasPanelSub2})
        changed = changed || panel->isSizeChanged();
    if (!changed)
        return;
    // Not while sound plays (its cursor line lives in the waveform's buffer) or the work
    // memory is being rewritten: once that is over.
    if (!mayRun(Action::navigate) || m_playback.playing()) {
        m_resizeTimer->StartOnce(150);
        return;
    }
    if (!m_sound.wave()->m_window || !m_sound.work()->m_wave) {
        for (myCanvasPanel* panel :
             {m_canvasPanelUp, m_canvasPanel, m_canvasPanelSub, m_canvasPanelSub2})
            if (panel->isSizeChanged()) {
                panel->drawScale();
                if (panel == m_canvasPanel && m_sound.waveFileName.IsEmpty())
                    panel->drawHint(kStartHint);
                panel->Refresh();
            }
        return;
    }
    redrawPanels();
    Refresh();
}
