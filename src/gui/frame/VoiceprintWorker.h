#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <wx/thread.h>

class CWavPara;
class CWorkMemory;
class MyFrame;

// What a running worker and its frame share. The frame may be destroyed while the worker
// runs (the window closed, a test ends): it then cancels, waits until the frame loop has
// let go of the work memory, and clears `frame`, so the worker posts nothing more.
struct VoiceprintLink {
    std::mutex lock; // protects every field below
    std::condition_variable changed;
    MyFrame* frame = nullptr; // guarded by lock
    bool done = false;        // the frame loop has ended; guarded by lock
    bool finished = false;    // the worker has posted its last event; guarded by lock
    int posted = 0;           // progress events posted; guarded by lock
    int handled = 0;          // progress events the frame has handled; guarded by lock
    bool converted = false;   // the worker made the dB planes too; guarded by lock
    // The window thread's own: what the progress dialog last showed, and when.
    int shownPercent = -1;
    std::chrono::steady_clock::time_point shownAt;
};

// The detached thread that computes one voiceprint. It only adapts the engine's frame
// loop: progress and the end are posted to the frame as command events 5045 (0..99,
// then -1); cancelling is read through MyFrame::Cancelled(). It never touches a window.
class MyWorkerThread : public wxThread {
public:
    MyWorkerThread(MyFrame* frame, std::shared_ptr<VoiceprintLink> link);

    void* Entry() override;
    void OnExit() override {}

    MyFrame* m_frame;
    CWavPara* m_wavePara;
    CWorkMemory* m_workPara;

private:
    void post(int value);
    void postLocked(int value); // with m_link->lock held
    bool cancelled();

    std::shared_ptr<VoiceprintLink> m_link;
};

namespace voiceprint_detail {
// Replaces how the worker thread is created (null restores wxThread::Create), so tests can
// make it fail; the system cannot be made to refuse a thread on demand.
using ThreadCreator = wxThreadError (*)(wxThread& thread);
void setThreadCreator(ThreadCreator creator);
// Called on the worker thread with each frame's progress right after it is posted (null:
// nothing), so tests can act at an exact point of a computation instead of whenever the window
// happens to see an update.
using ProgressHook = void (*)(int percent);
void setProgressHook(ProgressHook hook);
// The threads a computation uses; 0 (the default) uses every core.
void setWorkerThreads(unsigned threads);
// How long the last computation's worker really waited for the window to catch up with its
// progress events before posting the end (at most 200 ms), for timing the rest honestly.
double lastPauseSeconds();
// Frames the last computation took over from the one before instead of computing them.
long lastReusedFrames();
} // namespace voiceprint_detail
