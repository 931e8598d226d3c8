#include "engine/analysis/Voiceprint.h"

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/WidebandRestore.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace {

// The arrays one frame is transformed in; each thread has its own set.
struct FrameScratch {
    double* re;
    double* im;
    double* restore;
    double* restoreSum;
};

bool planesPresent(const CWorkMemory& w) {
    return w.m_hamPowMap && w.m_restorePowMap && w.m_rectPowMap && w.m_auxMap && w.m_hamDbMap &&
           w.m_restoreDbMap && w.m_rectDbMap;
}

bool frameBuffersPresent(const CWorkMemory& w) {
    return w.m_wave && w.m_re && w.m_im && w.m_pow && w.m_phs && w.m_restore && w.m_restoreSum;
}

// Every frame must lie inside m_wave, whatever the sizes claim.
bool readyForVoiceprint(const CWorkMemory& w) {
    if (!planesPresent(w) || !frameBuffersPresent(w))
        return false;
    if (w.m_ssftSize < 4 || w.m_repeatTimes < 1 || w.m_interval < 0)
        return false;
    const long long last = static_cast<long long>(w.m_repeatTimes - 1) * w.m_interval;
    return last + w.m_ssftSize <= w.m_excutionSize;
}

void loadFrame(const double* frame, long S, double* re, double* im) {
    std::copy(frame, frame + S, re);
    std::fill(im, im + S, 0.0);
}

// Frame t into row t of the three power planes. Only the lower half of each spectrum is kept and
// no phase is read, so only the H powers are computed, straight into the rows. False when a
// transform could not get its memory.
bool computeFrame(const CWorkMemory& w, long t, const FrameScratch& f, CRestoreWorkspace& ws,
                  double noise, voiceprintPlanes planes) {
    const long S = w.m_ssftSize;
    const long H = S / 2;
    const double* frame = w.m_wave + static_cast<std::size_t>(t) * w.m_interval;
    const std::size_t row = static_cast<std::size_t>(t) * H;
    double* ham = w.m_hamPowMap + row;
    double* rect = w.m_rectPowMap + row;

    loadFrame(frame, S, f.re, f.im);
    WindowFunction(f.re, S, kWindowHamming);
    if (fft(f.re, f.im, static_cast<int>(S), kFftForward) != 0)
        return false;
    PowAndPhs(f.re, f.im, ham, nullptr, H, nullptr);
    ham[0] = 0.0;

    long half = 0;
    if (restoreWithWidebandPhase(ws, frame, f.re, f.im, S, w.m_letSize, w.m_letHigh, w.m_letLow,
                                 f.restore, &half, f.restoreSum, noise,
                                 w.m_senseMode != CWorkMemory::senseNormal ? 1 : 0) != 0)
        return false;
    f.restore[0] = 0.0;
    std::copy(f.restore, f.restore + H, w.m_restorePowMap + row);
    if (planes == planesWithoutRect)
        return true;

    loadFrame(frame, S, f.re, f.im);
    if (fft(f.re, f.im, static_cast<int>(S), kFftForward) != 0)
        return false;
    PowAndPhs(f.re, f.im, rect, nullptr, H, nullptr);
    rect[0] = 0.0;
    return true;
}

resultVoiceprint runOnCallingThread(CWorkMemory& w, double noise,
                                    const VoiceprintCancelled& cancelled,
                                    const VoiceprintProgress& progress, voiceprintPlanes planes) {
    const long T = w.m_repeatTimes;
    const FrameScratch f{w.m_re, w.m_im, w.m_restore, w.m_restoreSum};
    CRestoreWorkspace ws;
    for (long i = 0; i < T; ++i) {
        if (cancelled && cancelled())
            return voiceprintCancelled;
        if (progress)
            progress(static_cast<int>(i * 100 / T));
        if (!computeFrame(w, i, f, ws, noise, planes))
            return voiceprintFailed;
    }
    return voiceprintFinished;
}

// What the workers and the watching thread share.
struct FrameQueue {
    std::mutex lock;
    std::condition_variable changed;
    long next = 0;   // next frame to hand out
    int running = 0; // workers still taking frames
    bool stop = false;
    bool failed = false;
};

// Stops and joins the workers however the watching thread leaves (a callback may throw).
struct WorkerPool {
    FrameQueue& q;
    std::vector<std::thread> threads;
    explicit WorkerPool(FrameQueue& queue) : q(queue) {}
    ~WorkerPool() {
        {
            std::lock_guard<std::mutex> g(q.lock);
            q.stop = true;
        }
        for (std::thread& t : threads)
            t.join();
    }
};

void workFrames(CWorkMemory& w, double noise, FrameScratch f, FrameQueue& q,
                voiceprintPlanes planes) {
    CRestoreWorkspace ws;
    const long T = w.m_repeatTimes;
    for (;;) {
        long t;
        {
            std::lock_guard<std::mutex> g(q.lock);
            if (q.stop || q.next >= T)
                break;
            t = q.next++;
        }
        q.changed.notify_one();
        if (!computeFrame(w, t, f, ws, noise, planes)) {
            std::lock_guard<std::mutex> g(q.lock);
            q.failed = true;
            q.stop = true;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> g(q.lock);
        --q.running;
    }
    q.changed.notify_one();
}

resultVoiceprint runOnWorkers(CWorkMemory& w, double noise, const VoiceprintCancelled& cancelled,
                              const VoiceprintProgress& progress, unsigned count,
                              voiceprintPlanes planes) {
    const long S = w.m_ssftSize;
    const long T = w.m_repeatTimes;
    if (cancelled && cancelled())
        return voiceprintCancelled;

    // The first worker transforms in the work memory's own frame buffers.
    std::vector<FrameScratch> scratch{{w.m_re, w.m_im, w.m_restore, w.m_restoreSum}};
    std::vector<std::vector<double>> own;
    try {
        own.reserve(count - 1);
        for (unsigned k = 1; k < count; ++k) {
            own.emplace_back(static_cast<std::size_t>(4 * S));
            double* b = own.back().data();
            scratch.push_back({b, b + S, b + 2 * S, b + 3 * S});
        }
    } catch (const std::bad_alloc&) {
        // Fewer workers, same result.
    }

    FrameQueue q;
    WorkerPool pool(q);
    for (const FrameScratch& f : scratch) {
        try {
            std::lock_guard<std::mutex> g(q.lock);
            pool.threads.emplace_back(workFrames, std::ref(w), noise, f, std::ref(q), planes);
            ++q.running;
        } catch (const std::exception&) {
            break; // no more threads to be had: the ones running take every frame
        }
    }
    if (pool.threads.empty())
        return runOnCallingThread(w, noise, cancelled, progress, planes);

    bool stoppedByCancel = false;
    long reported = 0;
    std::unique_lock<std::mutex> g(q.lock);
    for (;;) {
        while (reported < q.next) {
            const long i = reported++;
            g.unlock();
            if (progress)
                progress(static_cast<int>(i * 100 / T));
            g.lock();
        }
        if (q.running == 0)
            break;
        if (!q.stop && cancelled) {
            g.unlock();
            const bool c = cancelled();
            g.lock();
            if (c) {
                q.stop = true;
                stoppedByCancel = true;
            }
        }
        // Wakes for every frame handed out and otherwise polls the cancel predicate.
        q.changed.wait_for(g, std::chrono::milliseconds(2),
                           [&] { return q.next > reported || q.running == 0; });
    }
    const bool failed = q.failed;
    const bool complete = q.next >= T;
    g.unlock();

    if (failed)
        return voiceprintFailed;
    if (stoppedByCancel && !complete)
        return voiceprintCancelled;
    return voiceprintFinished;
}

} // namespace

resultVoiceprint computeVoiceprint(CWorkMemory& work, double noise,
                                   const VoiceprintCancelled& cancelled,
                                   const VoiceprintProgress& progress, unsigned threads,
                                   voiceprintPlanes planes) {
    if (!readyForVoiceprint(work))
        return voiceprintNotSized;
    const unsigned count =
        static_cast<unsigned>(std::min<long>(std::max(threads, 1u), work.m_repeatTimes));
    if (count == 1)
        return runOnCallingThread(work, noise, cancelled, progress, planes);
    return runOnWorkers(work, noise, cancelled, progress, count, planes);
}

bool convertVoiceprintToDb(CWorkMemory& work, unsigned threads, voiceprintPlanes planes) {
    if (!planesPresent(work) || work.m_ssftSize < 2 || work.m_repeatTimes < 1)
        return false;
    const long H = work.m_ssftSize / 2;
    const long T = work.m_repeatTimes;
    const long n = H * T;
    // The unwindowed plane shares nothing with the other two, so it may be converted beside them.
    auto rect = [&work, n] { su_calc_dB(work.m_rectPowMap, work.m_rectDbMap, n); };
    std::thread beside;
    if (planes == planesWithoutRect) {
        // nothing to convert beside
    } else if (threads > 1) {
        try {
            beside = std::thread(rect);
        } catch (const std::exception&) {
            // converted below on this thread
        }
    }
    calc_dB(work.m_hamPowMap, work.m_hamDbMap, work.m_auxMap, work.m_restorePowMap,
            work.m_restoreDbMap, n);
    adjustRestoreDbBottomLineByPowerDb(work.m_hamDbMap, work.m_restoreDbMap, T, H,
                                       work.m_senseMode != CWorkMemory::senseNormal ? 1 : 0);
    if (beside.joinable())
        beside.join();
    else if (planes != planesWithoutRect)
        rect();
    return true;
}

resultVoiceprint computeLevelSpectrum(CWorkMemory& work, long start, double noise,
                                      levelSpectrumKind kind) {
    CWorkMemory& w = work;
    const long S = w.m_ssftSize;
    if (!planesPresent(w) || !frameBuffersPresent(w) || !w.m_hamDb || !w.m_restoreDb ||
        !w.m_rectDb || S < 4 || w.m_repeatTimes < 1 || start < 0 ||
        static_cast<long long>(start) + S > w.m_excutionSize)
        return voiceprintNotSized;
    const long H = S / 2;
    const double* frame = w.m_wave + start;
    long half = 0;

    loadFrame(frame, S, w.m_re, w.m_im);
    WindowFunction(w.m_re, S, kWindowHamming);
    if (fft(w.m_re, w.m_im, static_cast<int>(S), kFftForward) != 0)
        return voiceprintFailed;
    PowAndPhs(w.m_re, w.m_im, w.m_pow, w.m_phs, S, &half);
    std::copy(w.m_pow, w.m_pow + H, w.m_hamPowMap);
    logPlus1(w.m_pow, S);

    // The playback cursor's spectrum is always the cheap normal-mode one.
    const int wide = kind == levelOfStretch && w.m_senseMode != CWorkMemory::senseNormal ? 1 : 0;
    if (restoreWithWidebandPhase(frame, w.m_re, w.m_im, S, w.m_letSize, w.m_letHigh, w.m_letLow,
                                 w.m_restore, &half, w.m_restoreSum, noise, wide) != 0)
        return voiceprintFailed;
    w.m_restore[0] = 0.0;
    std::copy(w.m_restore, w.m_restore + H, w.m_restorePowMap);
    calc_dB(w.m_hamPowMap, w.m_hamDb, w.m_auxMap, w.m_restorePowMap, w.m_restoreDb, H);
    if (kind != levelOfStretch)
        return voiceprintFinished;

    loadFrame(frame, S, w.m_re, w.m_im);
    if (fft(w.m_re, w.m_im, static_cast<int>(S), kFftForward) != 0)
        return voiceprintFailed;
    PowAndPhs(w.m_re, w.m_im, w.m_pow, w.m_phs, S, &half);
    std::copy(w.m_pow, w.m_pow + H, w.m_rectPowMap);
    su_calc_dB(w.m_rectPowMap, w.m_rectDb, H);
    return voiceprintFinished;
}
