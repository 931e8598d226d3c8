#include "gui/frame/MemoTour.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/memo/CArchMemo.h"

namespace {

const char kInternalError[] = "memo list uncorrect ( internal error ).";

// Set by tests on the GUI thread, read by the tour thread.
std::atomic<memo_tour_detail::SleepFunction> g_sleep{nullptr};
memo_tour_detail::ThreadCreator g_createThread = nullptr;

// Each tour tags its events, so that a move posted by a tour that has since been stopped is
// recognised when it arrives. 0 is left for events posted by anyone else.
long g_lastSerial = 0;

// m_dataLock as the tour holds it: taken and given back at the design's points, and given
// back on every way out.
class DataLock {
public:
    explicit DataLock(wxMutex& mutex) : m_mutex(mutex) {}
    ~DataLock() { unlock(); }
    void lock() {
        if (!m_locked && m_mutex.Lock() == wxMUTEX_NO_ERROR)
            m_locked = true;
    }
    void unlock() {
        if (m_locked && m_mutex.Unlock() == wxMUTEX_NO_ERROR)
            m_locked = false;
    }

private:
    wxMutex& m_mutex;
    bool m_locked = false;
};

} // namespace

void memo_tour_detail::setSleepFunction(SleepFunction sleep) {
    g_sleep.store(sleep);
}

void memo_tour_detail::setThreadCreator(ThreadCreator creator) {
    g_createThread = creator;
}

long memo_tour_detail::pauseMs(double seconds, bool mute) {
    // A stretch length that is not a sane number must not become an endless or undefined
    // pause; an hour is far beyond any stretch the analysis takes.
    if (!std::isfinite(seconds) || seconds < 0.0)
        seconds = 0.0;
    seconds = std::min(seconds, 3600.0);
    return static_cast<long>((mute ? 300.0 : 1000.0) * seconds + 500.0);
}

// ---------------------------------------------------------------------------
// The thread

MyThread::MyThread(MyFrame* frame, long start, std::shared_ptr<TourLink> link)
    : wxThread(wxTHREAD_DETACHED), m_start(start), m_frame(frame), m_link(std::move(link)) {
    VOCALITH_REQUIRE(m_frame, "m_frame");
    VOCALITH_REQUIRE(m_link, "m_link");
}

MyThread::~MyThread() = default;

void MyThread::OnExit() {
    MyApp& app = wxGetApp();
    wxMutexLocker lock(app.m_threadsLock);
    app.m_threads.Remove(this);
    if (app.m_threads.IsEmpty() && app.m_waitingForThreads) {
        app.m_waitingForThreads = false;
        app.m_allThreadsDone.Post();
    }
}

void MyThread::requestStop() {
    std::lock_guard<std::mutex> lock(m_link->lock);
    m_link->stop = true;
    m_link->changed.notify_all();
}

bool MyThread::stopRequested() {
    {
        std::lock_guard<std::mutex> lock(m_link->lock);
        if (m_link->stop || !m_link->frame)
            return true;
    }
    return TestDestroy();
}

template <typename F> bool MyThread::withFrame(F&& f) {
    if (TestDestroy())
        return false;
    std::lock_guard<std::mutex> lock(m_link->lock);
    if (m_link->stop || !m_link->frame)
        return false;
    f(*m_link->frame);
    return true;
}

bool MyThread::postMove(int id, int title) {
    std::unique_lock<std::mutex> lock(m_link->lock);
    if (m_link->stop || !m_link->frame)
        return false;
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetInt(title);
    event.SetExtraLong(m_link->serial);
    m_link->moveHandled = false;
    m_link->frame->GetEventHandler()->AddPendingEvent(event);
    // The next move is posted only after this one has been handled: a frame slow to get to it
    // would otherwise find two moves queued, and a second voiceprint move would arrive while
    // the first computation holds m_dataLock on the GUI thread's behalf.
    const auto settled = [this] { return m_link->moveHandled || m_link->stop || !m_link->frame; };
    while (!m_link->changed.wait_for(lock, std::chrono::milliseconds(500), settled)) {
        lock.unlock();
        const bool destroyed = TestDestroy();
        lock.lock();
        if (destroyed)
            return false;
    }
    return m_link->moveHandled && !m_link->stop && m_link->frame;
}

void MyThread::pause(long ms) {
    const memo_tour_detail::SleepFunction sleep = g_sleep.load();
    for (long t = ms; t > 0; t -= 500) {
        const long slice = std::min(t, 500L);
        if (sleep) {
            sleep(static_cast<unsigned long>(slice));
        } else {
            // Waiting on the link rather than sleeping lets "&Stop" or the window's end cut
            // the pause short at once; quitting then never waits for a tour's pause.
            std::unique_lock<std::mutex> lock(m_link->lock);
            m_link->changed.wait_for(lock, std::chrono::milliseconds(slice),
                                     [this] { return m_link->stop || !m_link->frame; });
        }
        if (stopRequested())
            return;
    }
}

void* MyThread::Entry() {
    DataLock data(wxGetApp().m_dataLock);
    data.lock();

    size_t count = 0;
    bool ssft = false, blank = false, mute = false;
    withFrame([&](MyFrame& f) {
        count = f.m_memos.subs().GetCount();
        ssft = f.GetContainSsft();
        blank = f.GetContainBlank();
        mute = f.GetPlayMute();
    });
    const size_t n = count;
    const size_t start = n > 0 ? static_cast<size_t>(((m_start % long(n)) + long(n)) % long(n)) : 0;

    bool visited = false;
    for (size_t i = 0; n > 0;) {
        if (stopRequested())
            break;
        const size_t slot = (i + start) % n;
        bool passes = false;
        const CArchMemo* sub = nullptr;
        int title = 0;
        double seconds = 0.0;
        if (!withFrame([&](MyFrame& f) {
                passes = f.isExecByMemoPrior(static_cast<int>(slot));
                sub = f.m_memos.subAt(slot);
                title = sub ? sub->m_titleNo : 0;
                seconds = f.m_executionSec;
            }))
            break;
        if (passes) {
            if (!sub) {
                wxLogMessage(kInternalError);
                break;
            }
            // The sound of the group before has to be heard out first.
            if (visited)
                pause(memo_tour_detail::pauseMs(seconds, mute));
            visited = true;
            if (stopRequested())
                break;
            if (ssft) {
                data.unlock();
                if (!postMove(ID_MoveToMemoSsft, title))
                    break;
                pause(1000);
            } else {
                data.unlock();
                if (!postMove(ID_MoveToMemo, title))
                    break;
                pause(100);
                data.lock();
                if (!mute && blank) {
                    // A silent gap as long as the stretch the move has just started playing.
                    if (!withFrame([&](MyFrame& f) { seconds = f.m_executionSec; }))
                        break;
                    pause(memo_tour_detail::pauseMs(seconds, false));
                }
                if (stopRequested())
                    break;
                data.unlock();
            }
        }
        // After a voiceprint move this waits until the computation has given the lock back.
        data.lock();
        if (stopRequested())
            break;
        if (++i >= n)
            break;
    }

    data.unlock();
    std::lock_guard<std::mutex> lock(m_link->lock);
    // A stopped tour has had its flag cleared by "&Stop"; the flag may belong to a newer tour.
    if (m_link->frame && !m_link->stop)
        m_link->frame->m_tourRunning = false;
    m_link->ended = true;
    m_link->changed.notify_all();
    return nullptr;
}

// ---------------------------------------------------------------------------
// The frame's side

namespace {

bool checked(const wxCheckBox* box) {
    return box && box->GetValue();
}

} // namespace

void MyFrame::startTour(long start) {
    if (m_tourRunning || m_memos.subs().IsEmpty())
        return;
    wxLogMessage("memo tour start.");
    m_tourRunning = true;
    m_cachedContainSsft = checked(m_containSsft);
    m_cachedContainBlank = checked(m_containBlank);
    m_cachedPlayMute = checked(m_playMute);
    readPriorLimit();
    MyThread* thread = CreateThread(start);
    // Without a thread nothing would ever clear the flag, and every command would stay
    // refused until "&Stop".
    if (!thread)
        m_tourRunning = false;
    else if (thread->Run() != wxTHREAD_NO_ERROR)
        wxLogMessage(" can not start thread.");
}

MyThread* MyFrame::CreateThread(long start) {
    auto link = std::make_shared<TourLink>();
    link->frame = this;
    link->serial = ++g_lastSerial;
    auto* thread = new MyThread(this, start, link);
    const wxThreadError created = g_createThread ? g_createThread(*thread) : thread->Create();
    if (created != wxTHREAD_NO_ERROR) {
        wxLogMessage(" can not create thread.");
        // Never run, so it would never leave the list of running tours.
        delete thread;
        return nullptr;
    }
    // A tour stopped before has stop set on its own link and touches this frame no more.
    m_tourLink = link;
    MyApp& app = wxGetApp();
    wxMutexLocker lock(app.m_threadsLock);
    app.m_threads.Add(thread);
    return thread;
}

MyThread* MyFrame::CreateThread() {
    return CreateThread(0);
}

void MyFrame::OnMemoTour(wxCommandEvent&) {
    startTour(0);
}

void MyFrame::OnMemoTourCont(wxCommandEvent&) {
    int found = -1;
    int slot = 0;
    for (wxObject* item : m_memos.params()) {
        const auto* param = static_cast<const CArchMemo*>(item);
        if (param && param->m_titleNo == m_curTitle)
            found = slot;
        ++slot;
    }
    const int count = static_cast<int>(m_memos.params().GetCount());
    startTour(found + 1 >= count ? 0 : found + 1);
}

void MyFrame::OnLockMemo(wxCommandEvent&) {
    wxCommandEvent stop;
    if (!m_tourRunning) {
        OnStop(stop);
        return;
    }
    wxLogMessage("memo tour end.");
    redrawPanels();

    bool asked = false;
    {
        MyApp& app = wxGetApp();
        wxMutexLocker lock(app.m_threadsLock);
        if (!app.m_threads.IsEmpty()) {
            // A listed thread has not got through OnExit, so it still exists. It is only asked
            // to end, never waited for: it may be waiting for m_dataLock, which a voiceprint
            // computation holds until this thread has handled its end.
            static_cast<MyThread*>(app.m_threads.Last())->requestStop();
            asked = true;
        }
    }
    // Our own tour ends in any case, whichever thread the list named last.
    if (m_tourLink) {
        std::lock_guard<std::mutex> lock(m_tourLink->lock);
        m_tourLink->stop = true;
        m_tourLink->changed.notify_all();
    }
    if (asked) {
        wxLogMessage(" thread finished.");
        OnStop(stop);
    } else {
        wxLogMessage(" no thread to stop.");
    }
    m_tourRunning = false;
}

bool MyFrame::tourEventStale(const wxCommandEvent& event) {
    if (event.GetExtraLong() == 0)
        return false; // not a tour's
    if (!m_tourRunning || !m_tourLink)
        return true;
    std::lock_guard<std::mutex> lock(m_tourLink->lock);
    return m_tourLink->serial != event.GetExtraLong() || m_tourLink->stop;
}

void MyFrame::tourMoveHandled(const wxCommandEvent& event) {
    if (!m_tourLink || event.GetExtraLong() == 0)
        return;
    std::lock_guard<std::mutex> lock(m_tourLink->lock);
    if (m_tourLink->serial != event.GetExtraLong())
        return;
    m_tourLink->moveHandled = true;
    m_tourLink->changed.notify_all();
}

void MyFrame::stopTourForGood() {
    if (!m_tourLink)
        return;
    std::lock_guard<std::mutex> lock(m_tourLink->lock);
    m_tourLink->frame = nullptr;
    m_tourLink->stop = true;
    m_tourLink->changed.notify_all();
}
