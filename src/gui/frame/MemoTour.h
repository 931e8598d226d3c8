#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include <wx/thread.h>

class MyFrame;

// What one memo tour and its frame share. The thread touches the frame (its memo list, its
// options, the events it posts) only with `lock` held and only while `frame` is set and `stop`
// is not, so once "&Stop" or the frame's end has set them under the lock, the frame is free
// of the tour at once: nobody waits for the thread, and no thread object is ever touched.
// Lock order: the application's m_dataLock before `lock`; `lock` is never held while waiting
// for m_dataLock or sleeping.
struct TourLink {
    std::mutex lock; // protects frame, stop and the frame's state the tour reads
    std::condition_variable changed;
    MyFrame* frame = nullptr; // null once the frame is gone
    bool stop = false;        // the tour is to end at its next check
    long serial = 0;          // tags this tour's events (their extra long)
    bool moveHandled = true;  // the frame has handled the last move this tour posted
    bool ended = false;       // Entry has returned
};

// The memo tour: visits the groups one pass from slot m_start, pausing so that each group's
// sound can be heard, and has the frame move (5047) or compute a voiceprint (5046) by posted
// events. It never touches a window. Detached; it deletes itself when Entry returns.
class MyThread : public wxThread {
public:
    MyThread(MyFrame* frame, long start, std::shared_ptr<TourLink> link);

    // Leaves the application's list of running tours.
    void OnExit() override;
    ~MyThread() override;
    void* Entry() override;

    // Asks the tour to end at its next check (within one pause slice); never waits.
    // Safe only while the thread is known to be alive, e.g. under m_threadsLock.
    void requestStop();

    long m_start;
    // The frame this tour was started for; reached only through the link, which the frame
    // clears when it goes.
    MyFrame* m_frame;

private:
    bool stopRequested();
    // Runs f(frame) under the link's lock; false (f not run) once the tour is to end.
    template <typename F> bool withFrame(F&& f);
    // Posts a move and waits until the frame has handled it or the tour is to end.
    bool postMove(int id, int title);
    // Waits ms in slices of at most 500 ms, ending as soon as the tour is to end.
    void pause(long ms);

    std::shared_ptr<TourLink> m_link;
};

namespace memo_tour_detail {
// How the tour sleeps (null restores the normal wait, which a stop cuts short); tests count
// its pauses without the clock. Called from the tour thread; such a sleep is not cut short.
using SleepFunction = void (*)(unsigned long ms);
void setSleepFunction(SleepFunction sleep);
// The pause in ms after a stretch of `seconds`: 300 s + 500 when muted, 1000 s + 500 otherwise.
long pauseMs(double seconds, bool mute);
// Replaces how the tour thread is created (null restores wxThread::Create), so tests can make
// it fail; the system cannot be made to refuse a thread on demand.
using ThreadCreator = wxThreadError (*)(wxThread& thread);
void setThreadCreator(ThreadCreator creator);
} // namespace memo_tour_detail
