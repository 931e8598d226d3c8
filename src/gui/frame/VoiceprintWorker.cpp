#include "gui/frame/VoiceprintWorker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <wx/progdlg.h>
#include <wx/tglbtn.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Voiceprint.h"
#include "engine/render/LevelMap.h"
#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/sound/CWavPara.h"

namespace {
voiceprint_detail::ThreadCreator g_createThread = nullptr;
std::atomic<voiceprint_detail::ProgressHook> g_progressHook{nullptr};
std::atomic<unsigned> g_workerThreads{0};
std::atomic<double> g_lastPause{0.0};
std::atomic<long> g_lastReused{0};

// Frames of the last voiceprint, for the next one after a step of the view. One computation
// runs at a time per work memory, but the lock keeps two windows' workers apart.
std::mutex g_reuseLock; // protects g_reuse
CVoiceprintReuse g_reuse;
} // namespace

double voiceprint_detail::lastPauseSeconds() {
    return g_lastPause;
}

long voiceprint_detail::lastReusedFrames() {
    return g_lastReused;
}

void voiceprint_detail::setThreadCreator(ThreadCreator creator) {
    g_createThread = creator;
}

void voiceprint_detail::setProgressHook(ProgressHook hook) {
    g_progressHook = hook;
}

void voiceprint_detail::setWorkerThreads(unsigned threads) {
    g_workerThreads = threads;
}

MyWorkerThread::MyWorkerThread(MyFrame* frame, std::shared_ptr<VoiceprintLink> link)
    : wxThread(wxTHREAD_DETACHED), m_frame(frame), m_wavePara(nullptr), m_workPara(nullptr),
      m_link(std::move(link)) {
    VOCALITH_REQUIRE(m_frame, "m_frame");
    m_wavePara = m_frame->m_sound.wave();
    m_workPara = m_frame->m_sound.work();
    VOCALITH_REQUIRE(m_wavePara, "m_wavePara");
    VOCALITH_REQUIRE(m_workPara, "m_workPara");
}

void MyWorkerThread::post(int value) {
    std::lock_guard<std::mutex> lock(m_link->lock);
    postLocked(value);
}

void MyWorkerThread::postLocked(int value) {
    if (!m_link->frame)
        return;
    wxCommandEvent event(wxEVT_MENU, ID_WorkerEvent);
    event.SetInt(value);
    m_link->frame->GetEventHandler()->AddPendingEvent(event);
    if (value != -1)
        ++m_link->posted;
}

bool MyWorkerThread::cancelled() {
    std::lock_guard<std::mutex> lock(m_link->lock);
    return !m_link->frame || m_link->frame->Cancelled() || TestDestroy();
}

void* MyWorkerThread::Entry() {
    VOCALITH_REQUIRE(m_wavePara, "m_wavePara");
    VOCALITH_REQUIRE(m_workPara, "m_workPara");
    const unsigned threads =
        g_workerThreads ? g_workerThreads.load() : std::thread::hardware_concurrency();
    bool converted = false;
    {
        std::lock_guard<std::mutex> reuseLock(g_reuseLock);
        const resultVoiceprint result = computeVoiceprint(
            *m_workPara, m_wavePara->m_noiseParameter, g_reuse, [this] { return cancelled(); },
            [this](int percent) {
                post(percent);
                if (const voiceprint_detail::ProgressHook hook = g_progressHook)
                    hook(percent);
            },
            threads);
        g_lastReused = g_reuse.reusedFrames();
        // The dB planes are made here, on every core, rather than on the window's thread,
        // which only draws them.
        if (result == voiceprintFinished && !cancelled())
            converted = convertVoiceprintToDb(*m_workPara, g_reuse, threads);
    }
    std::unique_lock<std::mutex> lock(m_link->lock);
    m_link->done = true;
    m_link->converted = converted;
    m_link->changed.notify_all();
    // Lets the last progress events be handled before the end, for at most 200 ms; the end
    // comes at once when they have been, or when the frame is going away.
    const auto pauseStart = std::chrono::steady_clock::now();
    m_link->changed.wait_for(lock, std::chrono::milliseconds(200), [this] {
        return !m_link->frame || m_link->handled >= m_link->posted;
    });
    g_lastPause =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - pauseStart).count();
    postLocked(-1);
    m_link->finished = true;
    m_link->changed.notify_all();
    return nullptr;
}

namespace {

// The progress dialog is application-modal in effect: while it shows, what the user does
// anywhere but in the dialog is swallowed here, because the worker is writing the work memory
// that every command reads. The toolkit's own modality would disable the main window, which
// repaints all of it when the dialog comes and again when it goes: that cost the window thread
// more than a short computation.
class InputBlock : public wxEventFilter {
public:
    explicit InputBlock(const wxWindow* dialog) : m_dialog(dialog) {
        wxEvtHandler::AddFilter(this);
        wxBeginBusyCursor();
    }
    ~InputBlock() override {
        wxEndBusyCursor();
        wxEvtHandler::RemoveFilter(this);
    }
    int FilterEvent(wxEvent& event) override {
        const wxEventType type = event.GetEventType();
        // The dialog itself, Cancel first of all, works as usual.
        if (const auto* window = dynamic_cast<const wxWindow*>(event.GetEventObject()))
            if (wxGetTopLevelParent(const_cast<wxWindow*>(window)) == m_dialog)
                return Event_Skip;
        if (const auto* mouse = dynamic_cast<const wxMouseEvent*>(&event))
            return mouse->IsButton() || type == wxEVT_MOUSEWHEEL || type == wxEVT_MAGNIFY
                       ? Event_Processed
                       : Event_Skip;
        if (dynamic_cast<const wxKeyEvent*>(&event))
            return Event_Processed;
        // Controls and menus name themselves as the event's object. The program's own posted
        // commands (the worker's progress and end, the memo tour's moves) name none and pass.
        if (!event.GetEventObject())
            return Event_Skip;
        static const wxEventType commands[] = {
            wxEVT_BUTTON,         wxEVT_TOGGLEBUTTON, wxEVT_MENU,       wxEVT_CHECKBOX,
            wxEVT_RADIOBUTTON,    wxEVT_CHOICE,       wxEVT_COMBOBOX,   wxEVT_LISTBOX,
            wxEVT_LISTBOX_DCLICK, wxEVT_SLIDER,       wxEVT_TEXT_ENTER, wxEVT_CONTEXT_MENU};
        if (dynamic_cast<const wxScrollEvent*>(&event) ||
            std::find(std::begin(commands), std::end(commands), type) != std::end(commands))
            return Event_Processed;
        return Event_Skip;
    }

private:
    const wxWindow* m_dialog;
};

} // namespace

void MyFrame::showProgressDialog() {
    if (!m_voiceprintRunning || !m_workerLink || m_dlgProgress || IsBeingDeleted())
        return;
    // No parent to disable: the dialog still stands over the frame (the toolkit makes the top
    // window its owner), and InputBlock holds the input instead of a disabled frame.
    m_dlgProgress = new wxProgressDialog(
        "Status dialog", "Wait until the calculation terminates or press [Cancel]", 100, nullptr,
        wxPD_CAN_ABORT | wxPD_ELAPSED_TIME | wxPD_ESTIMATED_TIME | wxPD_REMAINING_TIME);
    VOCALITH_REQUIRE(m_dlgProgress, "m_dlgProgress");
    m_inputBlock = std::make_unique<InputBlock>(m_dlgProgress);
    m_workerLink->shownPercent = -1; // the next update shows at once
}

void MyFrame::stopVoiceprintForGood() {
    m_inputBlock.reset();
    if (!m_workerLink)
        return;
    {
        wxMutexLocker lock(m_cancelMutex);
        m_cancelled = true;
    }
    VoiceprintLink& link = *m_workerLink;
    std::unique_lock<std::mutex> lock(link.lock);
    link.changed.wait(lock, [&] { return link.done; });
    link.frame = nullptr;
    link.changed.notify_all();
    link.changed.wait(lock, [&] { return link.finished; });
    lock.unlock();
    m_workerLink.reset();
    if (m_voiceprintRunning) {
        m_voiceprintRunning = false;
        wxGetApp().m_dataLock.Unlock();
    }
}

void MyFrame::toVoiceprint() {
    wxCommandEvent stop;
    OnStop(stop);
    wxCommandEvent calc(wxEVT_BUTTON, ID_CalcSSFT);
    OnCalcSSFT(calc);
}

void MyFrame::OnCalcSSFT(wxCommandEvent&) {
    // Nothing to compute before a sound is open.
    if (!mayRun(Action::compute) || !m_sound.work()->m_wave)
        return;
    if (m_curTitle != -1)
        m_prevTitle = m_curTitle;
    m_curTitle = -1;
    wxGetApp().m_dataLock.Lock();
    calcSSFTBase();
}

void MyFrame::startQuietVoiceprint(int method, bool pitch) {
    if (!mayRun(Action::compute) || !m_sound.work()->m_wave)
        return;
    m_quietRun = QuietRun{true, method, pitch};
    wxGetApp().m_dataLock.Lock();
    calcSSFTBase();
}

void MyFrame::calcSSFTBase() {
    const bool quiet = m_quietRun.on;
    if (!quiet) {
        m_canvasPanelUp->redrawWave();
        m_canvasPanel->redrawdB();
        m_canvasPanelSub->redrawWaveSub();
        m_canvasPanelSub2->redrawWave();
        wxLogMessage("voiceprint calculation start.");
    }

    auto link = std::make_shared<VoiceprintLink>();
    link->frame = this;
    auto* thread = new MyWorkerThread(this, link);
    const wxThreadError created = g_createThread ? g_createThread(*thread) : thread->Create();
    if (created != wxTHREAD_NO_ERROR) {
        wxLogError("Can't create thread!");
        delete thread;
        // Nothing will post the end of this computation: release the lock here, or the
        // next computation or memo tour would wait for it forever.
        wxGetApp().m_dataLock.Unlock();
        m_quietRun = QuietRun{};
        return;
    }
    if (m_dlgProgress)
        m_dlgProgress->Destroy();
    m_dlgProgress = nullptr;
    {
        wxMutexLocker lock(m_cancelMutex);
        m_cancelled = false;
    }
    m_voiceprintRunning = true;
    m_workerLink = link;
    if (quiet) {
        // Mostly frames kept from the view before: the dialog comes only if it takes long. Input
        // waits meanwhile all the same, as the worker rewrites what every command reads.
        m_inputBlock = std::make_unique<InputBlock>(nullptr);
        m_slowRunTimer->StartOnce(300);
    } else {
        showProgressDialog();
    }
    thread->Run();
}

bool MyFrame::Cancelled() {
    wxMutexLocker lock(m_cancelMutex);
    return m_cancelled;
}

void MyFrame::OnWorkerEvent(wxCommandEvent& event) {
    if (!m_voiceprintRunning)
        return; // a stray event, with no computation and no lock to hand back
    const int value = event.GetInt();
    if (value != -1) {
        // Every update repaints the dialog and yields to the toolkit, which cost more than the
        // frames themselves when each frame took one: the dialog shows a new percentage at most
        // every 50 ms. Cancel is still seen at the next update shown, or at the end.
        const auto now = std::chrono::steady_clock::now();
        const bool show = !m_workerLink || m_workerLink->shownPercent < 0 ||
                          (value != m_workerLink->shownPercent &&
                           now - m_workerLink->shownAt >= std::chrono::milliseconds(50));
        if (show && m_workerLink) {
            m_workerLink->shownPercent = value;
            m_workerLink->shownAt = now;
        }
        if (show && m_dlgProgress && !m_dlgProgress->Update(value, wxEmptyString)) {
            wxMutexLocker lock(m_cancelMutex);
            m_cancelled = true;
        }
        if (m_workerLink) {
            std::lock_guard<std::mutex> lock(m_workerLink->lock);
            ++m_workerLink->handled;
            m_workerLink->changed.notify_all();
        }
        return;
    }

    m_inputBlock.reset();
    m_slowRunTimer->Stop();
    const QuietRun quiet = m_quietRun;
    m_quietRun = QuietRun{};
    // Cancel pressed after the last progress update still counts: nothing asked the dialog.
    if (m_dlgProgress) {
        if (m_dlgProgress->WasCancelled()) {
            wxMutexLocker lock(m_cancelMutex);
            m_cancelled = true;
        }
        m_dlgProgress->Destroy();
        m_dlgProgress = nullptr;
    }
    m_voiceprintRunning = false;
    bool converted = false;
    if (m_workerLink) {
        std::lock_guard<std::mutex> lock(m_workerLink->lock);
        converted = m_workerLink->converted;
    }
    m_workerLink.reset();
    if (Cancelled()) {
        wxLogMessage("voiceprint calculation stop.");
        wxGetApp().m_dataLock.Unlock();
        if (quiet.on)
            return;
        wxCommandEvent lockMemo;
        OnLockMemo(lockMemo);
        return;
    }

    wxWakeUpIdle();
    if (!converted)
        convertVoiceprintToDb(*m_sound.work());
    fitDbRangeToVoiceprint();
    m_canvasPanel->ClearShapes();
    if (quiet.on && quiet.method == 1)
        drawVoiceprint(m_sound.work()->m_hamDbMap, 1);
    else
        drawVoiceprint(m_sound.work()->m_restoreDbMap, 2);
    reAddMemo();
    if (m_tourRunning || quiet.pitch)
        calcPitchBase(m_sound.work(), m_canvasPanel);
    m_canvasPanel->Refresh(true);
    m_canvasPanel->Update();
    wxGetApp().m_dataLock.Unlock();
    if (quiet.on)
        return; // a move plays nothing
    wxLogMessage("voiceprint calculation finished.");

    // Played once, whatever "&Repeat" says.
    const bool repeat = m_playRepeat->GetValue();
    m_playRepeat->SetValue(false);
    wxCommandEvent play;
    OnPlay(play);
    m_playRepeat->SetValue(repeat);
}

void MyFrame::drawVoiceprint(double* plane, int method) {
    const CWavPara& wave = *m_sound.wave();
    const CWorkMemory& work = *m_sound.work();
    m_canvasPanel->drawScaleTimeFreq(wave.m_sampleFreq, wave.m_freqLow, wave.m_freqHigh);
    m_canvasPanel->drawdBTimeFreq(plane, work.m_repeatTimes, work.m_ssftSize / 2, wave.m_sampleFreq,
                                  work.m_interval, wave.m_freqLow, wave.m_freqHigh, wave.m_dbLow,
                                  wave.m_dbHigh);
    m_canvasPanel->setVoiceprintMethod(method);
}

void MyFrame::fitDbRangeToVoiceprint() {
    CWavPara& wave = *m_sound.wave();
    const CWorkMemory& work = *m_sound.work();
    const long bins = work.m_ssftSize / 2;
    double low = 0.0, high = 0.0;
    if (!m_fitDbRange || bins <= 0 || wave.m_sampleFreq <= 0)
        return;
    const double binWidth = (wave.m_sampleFreq * 0.5) / bins;
    if (!fitLevelRange(work.m_hamDbMap, work.m_repeatTimes, bins,
                       static_cast<long>(wave.m_freqLow / binWidth),
                       static_cast<long>(wave.m_freqHigh / binWidth), &low, &high) ||
        wave.setRangeXY(wave.m_freqLow, wave.m_freqHigh, low, high) != CWavPara::resultOK)
        return;
    wxLogMessage("dB range fitted to the recording: [%.1f,%.1f].", wave.m_dbLow, wave.m_dbHigh);
    m_text->Clear();
    m_text->AppendText(wxString::FromUTF8(formatParameterBlock(currentParameters())));
    m_paramBackup = m_text->GetValue();
}

void MyFrame::toHammingWindow() {
    drawVoiceprint(m_sound.work()->m_hamDbMap, 1);
    Refresh(true);
    Update();
}

void MyFrame::toWidebandPhase() {
    drawVoiceprint(m_sound.work()->m_restoreDbMap, 2);
    Refresh(true);
    Update();
}
