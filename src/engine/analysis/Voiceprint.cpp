#include "engine/analysis/Voiceprint.h"

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/FftTables.h"
#include "engine/analysis/WidebandRestore.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
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
// no phase is read, so only the H powers are computed, straight into the rows. The Hamming
// transform is done once and handed to the restoration, which would otherwise repeat it. False
// when a transform could not get its memory.
bool computeFrame(const CWorkMemory& w, long t, const FrameScratch& f, CRestoreWorkspace& ws,
                  double noise) {
    const long S = w.m_ssftSize;
    const long H = S / 2;
    const spectral_detail::FftTables* tables = spectral_detail::cachedTables(static_cast<int>(S));
    if (!tables)
        return false;
    const double* frame = w.m_wave + static_cast<std::size_t>(t) * w.m_interval;
    const std::size_t row = static_cast<std::size_t>(t) * H;
    double* ham = w.m_hamPowMap + row;
    double* rect = w.m_rectPowMap + row;

    spectral_detail::hammingSpectrum(*tables, frame, f.re, f.im);
    PowAndPhs(f.re, f.im, ham, nullptr, H, nullptr);
    ham[0] = 0.0;

    long half = 0;
    if (restoreFromHammingSpectrum(ws, frame, f.re, f.im, S, w.m_letSize, w.m_letHigh, w.m_letLow,
                                   f.restore, &half, f.restoreSum, noise,
                                   w.m_senseMode != CWorkMemory::senseNormal ? 1 : 0) != 0)
        return false;
    f.restore[0] = 0.0;
    std::copy(f.restore, f.restore + H, w.m_restorePowMap + row);

    // Loaded in bit-reversed order: what fft's swap step would make of the plain copy.
    const int* rev = tables->bitrev.data();
    for (long i = 0; i < S; ++i)
        f.re[i] = frame[rev[i]];
    std::fill(f.im, f.im + S, 0.0);
    spectral_detail::transformReversed(*tables, f.re, f.im, false);
    PowAndPhs(f.re, f.im, rect, nullptr, H, nullptr);
    rect[0] = 0.0;
    return true;
}

// Frames first .. last-1 are computed; progress counts them from 0.
struct FrameRange {
    long first, last;
    int percent(long i) const { return static_cast<int>((i - first) * 100 / (last - first)); }
};

resultVoiceprint runOnCallingThread(CWorkMemory& w, double noise,
                                    const VoiceprintCancelled& cancelled,
                                    const VoiceprintProgress& progress, FrameRange range) {
    const FrameScratch f{w.m_re, w.m_im, w.m_restore, w.m_restoreSum};
    CRestoreWorkspace ws;
    for (long i = range.first; i < range.last; ++i) {
        if (cancelled && cancelled())
            return voiceprintCancelled;
        if (progress)
            progress(range.percent(i));
        if (!computeFrame(w, i, f, ws, noise))
            return voiceprintFailed;
    }
    return voiceprintFinished;
}

// What the workers and the watching thread share.
struct FrameQueue {
    std::mutex lock;
    std::condition_variable changed;
    long next = 0;   // next frame to hand out
    long last = 0;   // one past the last frame to compute
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

void workFrames(CWorkMemory& w, double noise, FrameScratch f, FrameQueue& q) {
    CRestoreWorkspace ws;
    for (;;) {
        long t;
        {
            std::lock_guard<std::mutex> g(q.lock);
            if (q.stop || q.next >= q.last)
                break;
            t = q.next++;
        }
        q.changed.notify_one();
        if (!computeFrame(w, t, f, ws, noise)) {
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
                              FrameRange range) {
    const long S = w.m_ssftSize;
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
    q.next = range.first;
    q.last = range.last;
    WorkerPool pool(q);
    for (const FrameScratch& f : scratch) {
        try {
            std::lock_guard<std::mutex> g(q.lock);
            pool.threads.emplace_back(workFrames, std::ref(w), noise, f, std::ref(q));
            ++q.running;
        } catch (const std::exception&) {
            break; // no more threads to be had: the ones running take every frame
        }
    }
    if (pool.threads.empty())
        return runOnCallingThread(w, noise, cancelled, progress, range);

    bool stoppedByCancel = false;
    long reported = range.first;
    std::unique_lock<std::mutex> g(q.lock);
    for (;;) {
        while (reported < q.next) {
            const long i = reported++;
            g.unlock();
            if (progress)
                progress(range.percent(i));
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
    const bool complete = q.next >= range.last;
    g.unlock();

    if (failed)
        return voiceprintFailed;
    if (stoppedByCancel && !complete)
        return voiceprintCancelled;
    return voiceprintFinished;
}

resultVoiceprint runFrames(CWorkMemory& work, double noise, const VoiceprintCancelled& cancelled,
                           const VoiceprintProgress& progress, unsigned threads, FrameRange range) {
    const long count = range.last - range.first;
    if (count <= 0)
        return voiceprintFinished;
    const unsigned n = static_cast<unsigned>(std::min<long>(std::max(threads, 1u), count));
    if (n == 1)
        return runOnCallingThread(work, noise, cancelled, progress, range);
    return runOnWorkers(work, noise, cancelled, progress, n, range);
}

// Runs fn(begin, end, part) over `parts` slices of 0 .. n-1, slice 0 on the calling thread.
// Slices are fixed by n and parts alone, and every caller combines per-slice results with max
// or min, which do not depend on the order, so the result is the same on any number of threads.
template <class Fn> void inSlices(long n, unsigned parts, const Fn& fn) {
    auto slice = [n, parts](unsigned p) { return n * static_cast<long>(p) / parts; };
    std::vector<std::thread> helpers;
    unsigned p = 1;
    for (; p < parts; ++p) {
        try {
            helpers.emplace_back([&fn, &slice, p] { fn(slice(p), slice(p + 1), p); });
        } catch (const std::exception&) {
            break; // no thread to be had: the rest runs here
        }
    }
    fn(slice(0), slice(1), 0);
    for (unsigned q = p; q < parts; ++q)
        fn(slice(q), slice(q + 1), q);
    for (std::thread& t : helpers)
        t.join();
}

double peakOrOne(double m) {
    return m <= 0.0 ? 1.0 : m;
}

} // namespace

struct VoiceprintReuseAccess {
    // How many whole hops the new stretch lies after the one `r` computed (negative: before),
    // when its frames' samples really are the old ones; false when nothing can be reused.
    static bool shift(const CVoiceprintReuse& r, const CWorkMemory& w, long* hops) {
        if (!r.m_valid || r.m_work != &w || r.m_generation != w.m_planeGeneration ||
            r.m_ssft != w.m_ssftSize || r.m_interval != w.m_interval ||
            r.m_frames != w.m_repeatTimes || r.m_let != w.m_letSize || r.m_high != w.m_letHigh ||
            r.m_low != w.m_letLow || r.m_mode != w.m_senseMode ||
            static_cast<long>(r.m_wave.size()) != w.m_excutionSize || w.m_interval < 1)
            return false;
        const long E = w.m_excutionSize, T = w.m_repeatTimes;
        const double* now = w.m_wave;
        const double* before = r.m_wave.data();
        // Nearest shifts first; a periodic sound may match several, and any exact match of every
        // shared sample gives the same rows.
        int attempts = 0;
        for (long d = 0; d < T && attempts < 4; ++d) {
            for (int sign = 1; sign >= (d == 0 ? 1 : -1); sign -= 2) {
                const long s = sign * d;
                const long off = std::labs(s) * w.m_interval;
                const double* a = s >= 0 ? now : now + off;
                const double* b = s >= 0 ? before + off : before;
                const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(E - off);
                if (std::memcmp(a, b, sizeof(double)) != 0)
                    continue;
                ++attempts;
                if (std::memcmp(a, b, bytes) == 0) {
                    *hops = s;
                    return true;
                }
            }
        }
        return false;
    }

    static void remember(CVoiceprintReuse& r, const CWorkMemory& w, double noise, long reused) {
        try {
            r.m_wave.assign(w.m_wave, w.m_wave + w.m_excutionSize);
        } catch (const std::bad_alloc&) {
            r.forget();
            return;
        }
        r.m_work = &w;
        r.m_generation = w.m_planeGeneration;
        r.m_ssft = w.m_ssftSize;
        r.m_interval = w.m_interval;
        r.m_frames = w.m_repeatTimes;
        r.m_let = w.m_letSize;
        r.m_high = w.m_letHigh;
        r.m_low = w.m_letLow;
        r.m_mode = w.m_senseMode;
        r.m_noise = noise;
        r.m_reused = reused;
        r.m_valid = true;
    }

    static bool sameNoise(const CVoiceprintReuse& r, double noise) { return r.m_noise == noise; }
};

void CVoiceprintReuse::forget() {
    m_valid = false;
    m_reused = 0;
    std::vector<double>().swap(m_wave);
}

resultVoiceprint computeVoiceprint(CWorkMemory& work, double noise,
                                   const VoiceprintCancelled& cancelled,
                                   const VoiceprintProgress& progress, unsigned threads) {
    if (!readyForVoiceprint(work))
        return voiceprintNotSized;
    return runFrames(work, noise, cancelled, progress, threads, {0, work.m_repeatTimes});
}

resultVoiceprint computeVoiceprint(CWorkMemory& work, double noise, CVoiceprintReuse& reuse,
                                   const VoiceprintCancelled& cancelled,
                                   const VoiceprintProgress& progress, unsigned threads) {
    if (!readyForVoiceprint(work)) {
        reuse.forget();
        return voiceprintNotSized;
    }
    const long T = work.m_repeatTimes;
    const std::size_t H = static_cast<std::size_t>(work.m_ssftSize / 2);
    FrameRange range{0, T};
    long hops = 0;
    if (VoiceprintReuseAccess::sameNoise(reuse, noise) &&
        VoiceprintReuseAccess::shift(reuse, work, &hops)) {
        // New row t is old row t + hops.
        const std::size_t kept = static_cast<std::size_t>(T - std::labs(hops)) * H;
        const std::size_t by = static_cast<std::size_t>(std::labs(hops)) * H;
        for (double* plane : {work.m_hamPowMap, work.m_restorePowMap, work.m_rectPowMap}) {
            if (hops > 0)
                std::memmove(plane, plane + by, kept * sizeof(double));
            else if (hops < 0)
                std::memmove(plane + by, plane, kept * sizeof(double));
        }
        range = hops >= 0 ? FrameRange{T - hops, T} : FrameRange{0, -hops};
    }
    reuse.forget(); // the planes are changing; valid again only when every row is right
    const resultVoiceprint r = runFrames(work, noise, cancelled, progress, threads, range);
    if (r == voiceprintFinished)
        VoiceprintReuseAccess::remember(reuse, work, noise, T - (range.last - range.first));
    return r;
}

bool convertVoiceprintToDb(CWorkMemory& work, unsigned threads) {
    if (!planesPresent(work) || work.m_ssftSize < 2 || work.m_repeatTimes < 1)
        return false;
    const long H = work.m_ssftSize / 2;
    const long T = work.m_repeatTimes;
    const double* ham = work.m_hamPowMap;
    const double* restore = work.m_restorePowMap;
    const double* rect = work.m_rectPowMap;
    double* hamDb = work.m_hamDbMap;
    double* restoreDb = work.m_restoreDbMap;
    double* rectDb = work.m_rectDbMap;
    // Slices of whole frames, so the per-frame alignment can run in the same slices.
    const unsigned parts = static_cast<unsigned>(std::min<long>(std::max(threads, 1u), T));
    auto framesFrom = [H](long frame) { return frame * H; };

    // calc_dB and su_calc_dB, step by step, each step over the whole plane before the next; the
    // dB planes hold the intermediate values.
    std::vector<double> hamPeak(parts, 0.0), restorePeak(parts, 0.0), rectPeak(parts, 0.0);
    inSlices(T, parts, [&](long b, long e, unsigned p) {
        for (long i = framesFrom(b); i < framesFrom(e); ++i) {
            if (ham[i] > hamPeak[p])
                hamPeak[p] = ham[i];
            if (restore[i] > restorePeak[p])
                restorePeak[p] = restore[i];
            if (rect[i] > rectPeak[p])
                rectPeak[p] = rect[i];
        }
    });
    const double peak1 = peakOrOne(*std::max_element(hamPeak.begin(), hamPeak.end()));
    const double peak2 = peakOrOne(*std::max_element(restorePeak.begin(), restorePeak.end()));
    const double peakR = peakOrOne(*std::max_element(rectPeak.begin(), rectPeak.end()));
    const double g = std::log(peak1);

    std::vector<double> hamFloor(parts, 1.0), rectFloor(parts, 1.0), mappedPeak(parts, 0.0);
    inSlices(T, parts, [&](long b, long e, unsigned p) {
        for (long i = framesFrom(b); i < framesFrom(e); ++i) {
            const double h = ham[i] / peak1;
            hamDb[i] = h;
            if (h > 0.0 && h < hamFloor[p])
                hamFloor[p] = h;
            const double r = rect[i] / peakR;
            rectDb[i] = r;
            if (r > 0.0 && r < rectFloor[p])
                rectFloor[p] = r;
            double x = restore[i];
            if (x > 0.0) {
                x = x * g / peak2;
                if (x > 0.0)
                    x = std::exp(x);
            }
            restoreDb[i] = x;
            if (x > mappedPeak[p])
                mappedPeak[p] = x;
        }
    });
    const double hamFloorDb =
        20.0 * std::log10(*std::min_element(hamFloor.begin(), hamFloor.end()));
    const double rectFloorDb =
        20.0 * std::log10(*std::min_element(rectFloor.begin(), rectFloor.end()));
    const double peak3 = peakOrOne(*std::max_element(mappedPeak.begin(), mappedPeak.end()));

    std::vector<double> restoreFloor(parts, 1.0);
    inSlices(T, parts, [&](long b, long e, unsigned p) {
        for (long i = framesFrom(b); i < framesFrom(e); ++i) {
            hamDb[i] = hamDb[i] > 0.0 ? 20.0 * std::log10(hamDb[i]) : hamFloorDb;
            rectDb[i] = rectDb[i] > 0.0 ? 20.0 * std::log10(rectDb[i]) : rectFloorDb;
            double x = restoreDb[i];
            if (x > 0.0)
                x /= peak3;
            restoreDb[i] = x;
            if (x > 0.0 && x < restoreFloor[p])
                restoreFloor[p] = x;
        }
    });
    const double restoreFloorDb =
        20.0 * std::log10(*std::min_element(restoreFloor.begin(), restoreFloor.end()));

    const int fine = work.m_senseMode != CWorkMemory::senseNormal ? 1 : 0;
    inSlices(T, parts, [&](long b, long e, unsigned) {
        for (long i = framesFrom(b); i < framesFrom(e); ++i)
            restoreDb[i] = restoreDb[i] > 0.0 ? 20.0 * std::log10(restoreDb[i]) : restoreFloorDb;
        adjustRestoreDbBottomLineByPowerDb(hamDb + framesFrom(b), restoreDb + framesFrom(b), e - b,
                                           H, fine);
    });
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

    // calc_dB normalises its inputs in place: copies, so the voiceprint's planes stay intact.
    static thread_local std::vector<double> hamPow, restorePow, rectPow;
    try {
        hamPow.resize(H);
        restorePow.resize(H);
        rectPow.resize(H);
    } catch (const std::bad_alloc&) {
        return voiceprintFailed;
    }

    loadFrame(frame, S, w.m_re, w.m_im);
    WindowFunction(w.m_re, S, kWindowHamming);
    if (fft(w.m_re, w.m_im, static_cast<int>(S), kFftForward) != 0)
        return voiceprintFailed;
    PowAndPhs(w.m_re, w.m_im, w.m_pow, w.m_phs, S, &half);
    std::copy(w.m_pow, w.m_pow + H, hamPow.data());
    logPlus1(w.m_pow, S);

    // The playback cursor's spectrum is always the cheap normal-mode one.
    const int wide = kind == levelOfStretch && w.m_senseMode != CWorkMemory::senseNormal ? 1 : 0;
    if (restoreWithWidebandPhase(frame, w.m_re, w.m_im, S, w.m_letSize, w.m_letHigh, w.m_letLow,
                                 w.m_restore, &half, w.m_restoreSum, noise, wide) != 0)
        return voiceprintFailed;
    w.m_restore[0] = 0.0;
    std::copy(w.m_restore, w.m_restore + H, restorePow.data());
    calc_dB(hamPow.data(), w.m_hamDb, w.m_auxMap, restorePow.data(), w.m_restoreDb, H);
    if (kind != levelOfStretch)
        return voiceprintFinished;

    loadFrame(frame, S, w.m_re, w.m_im);
    if (fft(w.m_re, w.m_im, static_cast<int>(S), kFftForward) != 0)
        return voiceprintFailed;
    PowAndPhs(w.m_re, w.m_im, w.m_pow, w.m_phs, S, &half);
    std::copy(w.m_pow, w.m_pow + H, rectPow.data());
    su_calc_dB(rectPow.data(), w.m_rectDb, H);
    return voiceprintFinished;
}
