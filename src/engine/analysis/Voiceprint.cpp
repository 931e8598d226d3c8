#include "engine/analysis/Voiceprint.h"

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/FftPrimitives.h"
#include "engine/analysis/FftTables.h"
#include "engine/analysis/WidebandRestore.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <cstddef>
#include <exception>
#include <mutex>
#include <new>
#include <memory>
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
                  double noise, bool withRect) {
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
    if (!withRect)
        return true;

    // Loaded in bit-reversed order: what fft's swap step would make of the plain copy.
    const int* rev = tables->bitrev.data();
    for (long i = 0; i < S; ++i)
        f.re[i] = frame[rev[i]];
    spectral_detail::realTransformReversed(*tables, f.re, f.im);
    PowAndPhs(f.re, f.im, rect, nullptr, H, nullptr);
    rect[0] = 0.0;
    return true;
}

// Frames first .. last-1 are computed; progress counts them from 0.
struct FrameRange {
    long first, last;
    bool withRect = true; // the unwindowed plane too
    int percent(long i) const { return static_cast<int>((i - first) * 100 / (last - first)); }
};

// The frames a step by `hops` whole hops (|hops| < T) brings into view: at the end going
// forward, at the start going back.
FrameRange movedIn(long T, long hops) {
    return hops >= 0 ? FrameRange{T - hops, T} : FrameRange{0, -hops};
}

// Moves the rows of a T x H plane with a step by `hops`: new row t is old row t + hops. The rows
// moved in keep what they held.
void shiftRows(double* plane, long T, long H, long hops) {
    const std::size_t by = static_cast<std::size_t>(std::labs(hops)) * H;
    const std::size_t kept = static_cast<std::size_t>(T) * H - by;
    if (hops > 0)
        std::memmove(plane, plane + by, kept * sizeof(double));
    else if (hops < 0)
        std::memmove(plane + by, plane, kept * sizeof(double));
}

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
        if (!computeFrame(w, i, f, ws, noise, range.withRect))
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

void workFrames(CWorkMemory& w, double noise, FrameScratch f, FrameQueue& q, bool withRect) {
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
        if (!computeFrame(w, t, f, ws, noise, withRect)) {
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
    // Every value is written before it is read, so the buffers are not cleared first.
    std::vector<std::unique_ptr<double[]>> own;
    try {
        own.reserve(count - 1);
        for (unsigned k = 1; k < count; ++k) {
            own.emplace_back(new double[static_cast<std::size_t>(4 * S)]);
            double* b = own.back().get();
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
            pool.threads.emplace_back(workFrames, std::ref(w), noise, f, std::ref(q),
                                      range.withRect);
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

// Runs fn(begin, end, part) over `parts` slices of 0 .. n-1 on `threads` threads, the calling
// thread among them, each taking the next slice when it is done with one: a thread that the
// machine slows down takes fewer. Slices are fixed by n and parts alone, and every caller
// combines per-slice results with max or min, which do not depend on the order, so the result
// is the same on any number of threads.
template <class Fn> void inSlices(long n, unsigned parts, unsigned threads, const Fn& fn) {
    std::atomic<unsigned> next{0};
    const auto work = [&] {
        for (unsigned p = next++; p < parts; p = next++)
            fn(n * static_cast<long>(p) / parts, n * static_cast<long>(p + 1) / parts, p);
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::exception&) {
            break; // no thread to be had: the rest runs here
        }
    }
    work();
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

    // The record describes the planes of this work memory as they are now.
    static bool current(const CVoiceprintReuse& r, const CWorkMemory& w) {
        return r.m_valid && r.m_work == &w && r.m_generation == w.m_planeGeneration;
    }

    static auto& db(CVoiceprintReuse& r) { return r.m_db; }
    static long& converted(CVoiceprintReuse& r) { return r.m_converted; }
};

long CVoiceprintReuse::framesToCompute(const CWorkMemory& work, double noise) const {
    long hops = 0;
    if (VoiceprintReuseAccess::sameNoise(*this, noise) &&
        VoiceprintReuseAccess::shift(*this, work, &hops))
        return std::labs(hops);
    return work.m_repeatTimes;
}

void CVoiceprintReuse::forget() {
    m_valid = false;
    m_reused = 0;
    m_db = DbState();
    std::vector<double>().swap(m_wave);
}

resultVoiceprint computeVoiceprint(CWorkMemory& work, double noise,
                                   const VoiceprintCancelled& cancelled,
                                   const VoiceprintProgress& progress, unsigned threads,
                                   voiceprintPlanes planes) {
    if (!readyForVoiceprint(work))
        return voiceprintNotSized;
    return runFrames(work, noise, cancelled, progress, threads,
                     {0, work.m_repeatTimes, planes != planesWithoutRect});
}

resultVoiceprint computeVoiceprint(CWorkMemory& work, double noise, CVoiceprintReuse& reuse,
                                   const VoiceprintCancelled& cancelled,
                                   const VoiceprintProgress& progress, unsigned threads) {
    if (!readyForVoiceprint(work)) {
        reuse.forget();
        return voiceprintNotSized;
    }
    const long T = work.m_repeatTimes;
    FrameRange range{0, T};
    long hops = 0;
    if (VoiceprintReuseAccess::sameNoise(reuse, noise) &&
        VoiceprintReuseAccess::shift(reuse, work, &hops)) {
        // New row t is old row t + hops.
        for (double* plane : {work.m_hamPowMap, work.m_restorePowMap, work.m_rectPowMap})
            shiftRows(plane, T, work.m_ssftSize / 2, hops);
        range = movedIn(T, hops);
    }
    // The dB planes still hold the last conversion; the next one may move their rows too.
    // Only one move between conversions is followed: after two, rows at the ends may hold frames
    // the conversion never saw.
    auto db = VoiceprintReuseAccess::db(reuse);
    if ((range.first == 0 && range.last == T) || db.pendingHops != 0)
        db.valid = false;
    db.pendingHops = hops;
    reuse.forget(); // the planes are changing; valid again only when every row is right
    const resultVoiceprint r = runFrames(work, noise, cancelled, progress, threads, range);
    if (r == voiceprintFinished) {
        VoiceprintReuseAccess::remember(reuse, work, noise, T - (range.last - range.first));
        VoiceprintReuseAccess::db(reuse) = db;
    }
    return r;
}

namespace {

// The whole-plane values every dB value depends on besides its own power.
struct DbScale {
    double peak1 = 0, peak2 = 0, peakR = 0;    // peaks of the Hamming, restored, unwindowed powers
    double peak3 = 0;                          // peak of the restored powers mapped onto peak1
    double floor1 = 0, floor2 = 0, floorR = 0; // smallest positive normalised values
    void store(double* to) const {
        const double v[7] = {peak1, peak2, peakR, peak3, floor1, floor2, floorR};
        std::copy(v, v + 7, to);
    }
    bool same(const double* as) const {
        const double v[7] = {peak1, peak2, peakR, peak3, floor1, floor2, floorR};
        return std::equal(v, v + 7, as);
    }
};

struct DbPlanes {
    const double *ham, *restore, *rect; // rect and rectDb null: the unwindowed plane is left out
    double *hamDb, *restoreDb, *rectDb;
    double* mapped; // the restored powers mapped onto the Hamming range (m_auxMap)
    long H;
    int fine;
    unsigned parts;   // slices of the frames
    unsigned threads; // threads that take them
    long first(long frame) const { return frame * H; }
};

// The restored power mapped as calc_dB does: exp((x * g) / peak2) where both steps stay positive.
double mapRestored(double x, double g, double peak2) {
    if (x > 0.0) {
        x = x * g / peak2;
        if (x > 0.0)
            x = std::exp(x);
    }
    return x;
}

// dB rows of frames b .. e-1 from their powers, the mapped restored values and the scale; then
// the per-frame alignment. Each value depends only on its own inputs and the scale.
void dbRows(const DbPlanes& p, const DbScale& sc, long b, long e) {
    const double floor1 = 20.0 * std::log10(sc.floor1), floorR = 20.0 * std::log10(sc.floorR),
                 floor2 = 20.0 * std::log10(sc.floor2);
    for (long i = p.first(b); i < p.first(e); ++i) {
        const double h = p.ham[i] / sc.peak1;
        p.hamDb[i] = h > 0.0 ? 20.0 * std::log10(h) : floor1;
        if (p.rect) {
            const double r = p.rect[i] / sc.peakR;
            p.rectDb[i] = r > 0.0 ? 20.0 * std::log10(r) : floorR;
        }
        double x = p.mapped[i];
        if (x > 0.0)
            x /= sc.peak3;
        p.restoreDb[i] = x > 0.0 ? 20.0 * std::log10(x) : floor2;
    }
    adjustRestoreDbBottomLineByPowerDb(p.hamDb + p.first(b), p.restoreDb + p.first(b), e - b, p.H,
                                       p.fine);
}

// The smallest positive value of v[i] / d over frames b .. e-1 (1 when none is smaller), as
// calc_dB finds its floor.
double floorOf(const DbPlanes& p, const double* v, double d, long b, long e) {
    double low = 1.0;
    for (long i = p.first(b); i < p.first(e); ++i) {
        const double x = v[i] > 0.0 ? v[i] / d : 0.0;
        if (x > 0.0 && x < low)
            low = x;
    }
    return low;
}

// The largest and the smallest positive value (0: none yet) of each plane over some frames.
enum { kHam, kRestore, kRect, kMapped };
struct Extremes {
    double peak[4] = {}, low[4] = {};
    static void lower(double& low, double v) {
        if (v > 0.0 && (low == 0.0 || v < low))
            low = v;
    }
    void take(int plane, double v) {
        peak[plane] = std::max(peak[plane], v);
        lower(low[plane], v);
    }
    void take(const Extremes& other) {
        for (int plane = 0; plane < 4; ++plane) {
            peak[plane] = std::max(peak[plane], other.peak[plane]);
            lower(low[plane], other.low[plane]);
        }
    }
};

// The whole-plane scale, with the frames in `fresh` mapped anew (the others' mapped values are
// taken as they are). One pass finds the peaks and the smallest positive powers, the next maps
// and finds the peak and smallest of the mapped values. The floors come from the smallest:
// dividing by a positive peak keeps the order, so the smallest quotient is the quotient of the
// smallest, unless that underflows to 0; then the floors are found value by value.
DbScale scaleOf(const DbPlanes& p, long T, FrameRange fresh) {
    // Each slice works in locals and stores once: slices next to each other share cache lines.
    std::vector<Extremes> slices(p.parts);
    inSlices(T, p.parts, p.threads, [&](long b, long e, unsigned q) {
        Extremes x;
        for (long i = p.first(b); i < p.first(e); ++i) {
            x.take(kHam, p.ham[i]);
            x.peak[kRestore] = std::max(x.peak[kRestore], p.restore[i]); // its floor is mapped
        }
        for (long i = p.first(b); p.rect && i < p.first(e); ++i)
            x.take(kRect, p.rect[i]);
        slices[q] = x;
    });
    Extremes all;
    for (const Extremes& x : slices)
        all.take(x);
    DbScale sc;
    sc.peak1 = peakOrOne(all.peak[kHam]);
    sc.peak2 = peakOrOne(all.peak[kRestore]);
    sc.peakR = peakOrOne(all.peak[kRect]);

    const double g = std::log(sc.peak1);
    inSlices(T, p.parts, p.threads, [&](long b, long e, unsigned q) {
        for (long f = std::max(b, fresh.first); f < std::min(e, fresh.last); ++f)
            for (long i = p.first(f); i < p.first(f + 1); ++i)
                p.mapped[i] = mapRestored(p.restore[i], g, sc.peak2);
        Extremes x;
        for (long i = p.first(b); i < p.first(e); ++i)
            x.take(kMapped, p.mapped[i]);
        slices[q] = x;
    });
    for (const Extremes& x : slices)
        all.take(x);
    sc.peak3 = peakOrOne(all.peak[kMapped]);

    // No positive value at all: the floor stays 1.
    auto floorFrom = [&all](int plane, double peak) {
        return all.low[plane] > 0.0 ? std::min(1.0, all.low[plane] / peak) : 1.0;
    };
    sc.floor1 = floorFrom(kHam, sc.peak1);
    sc.floorR = floorFrom(kRect, sc.peakR);
    sc.floor2 = floorFrom(kMapped, sc.peak3);
    if (sc.floor1 <= 0.0 || sc.floorR <= 0.0 || sc.floor2 <= 0.0) {
        std::vector<double> floors(3 * p.parts, 1.0);
        inSlices(T, p.parts, p.threads, [&](long b, long e, unsigned q) {
            floors[3 * q] = floorOf(p, p.ham, sc.peak1, b, e);
            floors[3 * q + 1] = p.rect ? floorOf(p, p.rect, sc.peakR, b, e) : 1.0;
            floors[3 * q + 2] = floorOf(p, p.mapped, sc.peak3, b, e);
        });
        sc.floor1 = sc.floorR = sc.floor2 = 1.0;
        for (unsigned q = 0; q < p.parts; ++q) {
            sc.floor1 = std::min(sc.floor1, floors[3 * q]);
            sc.floorR = std::min(sc.floorR, floors[3 * q + 1]);
            sc.floor2 = std::min(sc.floor2, floors[3 * q + 2]);
        }
    }
    return sc;
}

// calc_dB, adjustRestoreDbBottomLineByPowerDb and su_calc_dB over the whole planes, in frame
// slices: the scale (maxima and minima over slices combine in any order), then every value.
DbScale convertAll(const DbPlanes& p, long T) {
    const DbScale sc = scaleOf(p, T, {0, T});
    inSlices(T, p.parts, p.threads, [&](long b, long e, unsigned) { dbRows(p, sc, b, e); });
    return sc;
}

// After a step by `hops` frames: the mapped values of the kept frames move with their rows, and
// the scale of the new planes maps only the frames in `fresh`.
DbScale scaleAfterStep(const DbPlanes& p, long T, long hops, FrameRange fresh) {
    shiftRows(p.mapped, T, p.H, hops);
    return scaleOf(p, T, fresh);
}

DbPlanes dbPlanes(CWorkMemory& work, unsigned threads) {
    return {
        work.m_hamPowMap, work.m_restorePowMap, work.m_rectPowMap, work.m_hamDbMap,
        work.m_restoreDbMap, work.m_rectDbMap, work.m_auxMap, work.m_ssftSize / 2,
        work.m_senseMode != CWorkMemory::senseNormal ? 1 : 0,
        // Several slices a thread even out threads that the machine slows down.
        static_cast<unsigned>(std::min<long>(threads > 1 ? 8 * threads : 1, work.m_repeatTimes)),
        std::max(threads, 1u)};
}

} // namespace

bool convertVoiceprintToDb(CWorkMemory& work, unsigned threads, voiceprintPlanes planes) {
    if (!planesPresent(work) || work.m_ssftSize < 2 || work.m_repeatTimes < 1)
        return false;
    DbPlanes p = dbPlanes(work, threads);
    if (planes == planesWithoutRect)
        p.rect = p.rectDb = nullptr;
    convertAll(p, work.m_repeatTimes);
    return true;
}

bool convertVoiceprintToDb(CWorkMemory& work, CVoiceprintReuse& reuse, unsigned threads) {
    if (!planesPresent(work) || work.m_ssftSize < 2 || work.m_repeatTimes < 1) {
        reuse.forget();
        return false;
    }
    const DbPlanes p = dbPlanes(work, threads);
    const long T = work.m_repeatTimes;
    auto& db = VoiceprintReuseAccess::db(reuse);
    const long hops = db.pendingHops;
    const bool stepped =
        VoiceprintReuseAccess::current(reuse, work) && db.valid && std::labs(hops) < T;
    db.valid = false;
    if (stepped) {
        const FrameRange fresh = movedIn(T, hops);
        const DbScale sc = scaleAfterStep(p, T, hops, fresh);
        if (sc.same(db.scale)) {
            // Every kept frame's dB rows are what they were: move them, convert the new ones.
            for (double* plane : {p.hamDb, p.restoreDb, p.rectDb})
                shiftRows(plane, T, p.H, hops);
            dbRows(p, sc, fresh.first, fresh.last);
            VoiceprintReuseAccess::converted(reuse) = fresh.last - fresh.first;
            db.pendingHops = 0;
            db.valid = true;
            return true;
        }
    }
    convertAll(p, T).store(db.scale);
    VoiceprintReuseAccess::converted(reuse) = T;
    db.pendingHops = 0;
    db.valid = VoiceprintReuseAccess::current(reuse, work);
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
