#include "engine/analysis/AnalysisRun.h"
#include "engine/analysis/OpeningDefaults.h"
#include "engine/sound/AudioConvert.h"

#include "engine/analysis/Pitch.h"
#include "engine/analysis/Voiceprint.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <cmath>
#include <cstdio>
#include <cfloat>
#include <cstdlib>
#include <ostream>
#include <thread>

bool parseWhole(const std::string& s, long& v) {
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    v = std::strtol(s.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0';
}

bool parseDecimal(const std::string& s, double& v) {
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(v);
}

// Reads the file and sets what opening it in the program sets: the normal-mode defaults, the
// work memory sized for them, the ranges and the window at the start of the sound. Failures are
// reported with the program's own log lines.
// Sounds in other formats are converted to 16 bits in memory and analysed the same way.
bool openSound(const SoundSource& source, CWavPara& wave, CWorkMemory& work, std::ostream& err,
               AnalysedChannel channel) {
    wave.m_analysedChannel = channel;
    const SoundRead read = source.inMemory()
                               ? readSamples(wave, source.samples, source.frames, source.channels,
                                             source.rate, source.path)
                               : readSound(wave, source.path);
    if (read.read != CWavPara::resultOK) {
        for (const std::string& line : refusalLines(read))
            err << line << "\n";
        return false;
    }
    if (wave.m_channelCount == 2)
        err << analysedChannelLine(channel) << "\n";
    wave.m_cursor = 0;
    wave.m_windowStart = 0;
    const OpeningDefaults d = openingDefaults(wave.m_sampleFreq, wave.m_windowLen);
    wave.m_noiseParameter = d.noiseParameter;
    // As in the window: a sound shorter than one transform and a hop has no frame to show.
    if (d.repeatTimes < 1) {
        err << "data length not enough.\n";
        return false;
    }
    if (work.setSize(d.ssftSize, wave.m_windowLen, CWorkMemory::senseNormal, d.interval,
                     d.repeatTimes) != CWorkMemory::resultOk) {
        err << "memory allocation failed.\n";
        return false;
    }
    if (wave.setRangeXY(d.freqLow, d.freqHigh, d.dbLow, d.dbHigh) != CWavPara::resultOK) {
        err << "parameter wrong.\n";
        return false;
    }
    wave.m_cursorRange = wave.m_windowLen - work.m_excutionSize;
    wave.m_samplesPerSliderStep = double(wave.m_cursorRange) / wave.m_sliderMax;
    if (!wave.setSiii()) {
        err << "wave file reading failed.\n";
        return false;
    }
    return true;
}

// The options as a confirmed parameter block: checked in the block's order with its messages,
// the frames fitted into the window, the work memory rebuilt when anything changed.
bool applyOptions(const AnalysisOptions& o, CWavPara& wave, CWorkMemory& work, std::ostream& err) {
    if (!o.changesParameters())
        return true;
    const CWorkMemory::senseMode mode = o.fine ? CWorkMemory::senseFine : work.m_senseMode;
    long ssft = work.m_ssftSize;
    if (o.ssft && !parseWhole(*o.ssft, ssft)) {
        err << "[SsftSize] wrong, back parameter.\n";
        return false;
    }
    if (ssft < 256 || ssft > 32768 || (ssft & (ssft - 1)) != 0) {
        err << "[SsftSize] wrong, must 256 512 1024 2048 4096\n"
               "8192 16384 or 32768, back parameter.\n";
        return false;
    }
    long interval = work.m_interval;
    if (o.interval &&
        (!parseWhole(*o.interval, interval) || interval < 1 || interval > 0x7FFFFFFF)) {
        err << "[Interval] wrong, back parameter.\n";
        return false;
    }
    long repeat = work.m_repeatTimes;
    if (o.frames && (!parseWhole(*o.frames, repeat) || repeat < 1 || repeat > 0x7FFFFFFF)) {
        err << "[RepeatTimes] wrong, back parameter.\n";
        return false;
    }
    double noise = wave.m_noiseParameter;
    // The parameter is kept as a float: larger values cannot be stored.
    if (o.noise && (!parseDecimal(*o.noise, noise) || std::fabs(noise) > FLT_MAX)) {
        err << "[NoiseParameter] wrong, back parameter.\n";
        return false;
    }
    if (work.checkSize(ssft, wave.m_windowLen, interval, &repeat) != CWorkMemory::resultOk) {
        err << "[ExcutionSize] wrong, back parameter.\n";
        return false;
    }
    wave.m_noiseParameter = float(noise);
    if (ssft != work.m_ssftSize || interval != work.m_interval || repeat != work.m_repeatTimes ||
        mode != work.m_senseMode) {
        if (work.setSize(ssft, wave.m_windowLen, mode, interval, repeat) != CWorkMemory::resultOk) {
            err << "memory allocation failed.\n";
            return false;
        }
    }
    wave.m_cursorRange = wave.m_windowLen - work.m_excutionSize;
    wave.m_samplesPerSliderStep = double(wave.m_cursorRange) / wave.m_sliderMax;
    return true;
}

namespace {

// The channel named in the options; the window's (the first) when none is named.
std::optional<AnalysedChannel> chosenChannel(const AnalysisOptions& o, std::ostream& err) {
    const std::optional<AnalysedChannel> c = parseAnalysedChannel(o.channel.value_or("left"));
    if (!c)
        err << "--channel needs left, right or mix.\n";
    return c;
}

// Where a whole run starts and how many frames it has: every frame that lies inside
// [from, to), the span taken in samples to the nearest one.
bool placeWholeRun(const AnalysisOptions& o, AnalysisSetup& s, std::ostream& err) {
    const double rate = s.wave.m_sampleFreq;
    const long total = s.wave.m_totalSamples;
    const double length = total / rate;
    double from = 0.0, to = length;
    if ((o.from && !parseDecimal(*o.from, from)) || (o.to && !parseDecimal(*o.to, to)) ||
        from < 0.0 || from >= to || from > length) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "--from and --to must be seconds from 0 to %.3f, --from "
                      "before --to.\n",
                      length);
        err << line;
        return false;
    }
    const long first = std::lround(from * rate);
    const long end = std::min(total, std::lround(std::min(to, length) * rate));
    const long S = s.work.m_ssftSize;
    if (end - first < S) {
        err << "data length not enough.\n";
        return false;
    }
    s.firstSample = first;
    s.frames = (end - first - S) / s.work.m_interval + 1;
    return true;
}

} // namespace

Prepared prepareAnalysis(const SoundSource& source, const AnalysisOptions& o, AnalysisSetup& s,
                         std::ostream& err, std::string& usage) {
    if (o.whole && o.start) {
        usage = "--start places a window's run; a whole run starts at --from.";
        return Prepared::usage;
    }
    if (!o.whole && (o.from || o.to)) {
        usage = "--from and --to go with --whole.";
        return Prepared::usage;
    }
    const std::optional<AnalysedChannel> channel = chosenChannel(o, err);
    if (!channel || !openSound(source, s.wave, s.work, err, *channel))
        return Prepared::failed;
    s.threads = std::max(1u, std::thread::hardware_concurrency());
    if (o.threads) {
        long n = 0;
        if (!parseWhole(*o.threads, n) || n < 1 || n > 1024) {
            usage = "--threads needs a number from 1 to 1024.";
            return Prepared::usage;
        }
        s.threads = unsigned(n);
    }
    if (!applyOptions(o, s.wave, s.work, err))
        return Prepared::failed;
    s.framesPerWindow = s.work.m_repeatTimes;
    s.hamming = o.hamming;
    if (o.whole)
        return placeWholeRun(o, s, err) ? Prepared::ok : Prepared::failed;
    long start = 0;
    if (o.start && (!parseWhole(*o.start, start) || start < 0 || start > s.wave.m_cursorRange)) {
        char line[96];
        std::snprintf(line, sizeof line, "--start must be a sample from 0 to %ld.\n",
                      long(s.wave.m_cursorRange));
        err << line;
        return Prepared::failed;
    }
    s.firstSample = start;
    s.frames = s.framesPerWindow;
    return Prepared::ok;
}

namespace {

// What the threads of a run share. Runs are handed out in order; the sink takes them in order.
struct RunQueue {
    std::mutex lock; // protects everything below, and the wave parameters' window and cache
    std::condition_variable changed;
    long nextRun = 0;  // next run to hand out
    long sinkTurn = 0; // the run whose turn it is at the sink
    bool failed = false;
    std::string message;
};

// The sizes every run shares, read before the threads start: a worker resizing its work memory
// for a shorter last run must not race with the others reading them.
struct RunShape {
    long ssftSize, interval, framesPerWindow;
    CWorkMemory::senseMode mode;
};

// One run of frames, on its own work memory: the stretch read, the voiceprint computed and
// converted. The first run also keeps the level spectra of frame 0.
bool analyseRun(AnalysisSetup& s, const RunShape& shape, CWorkMemory& work, RunQueue& q, long done,
                long frames, unsigned threads, std::string& message) {
    CWavPara& wave = s.wave;
    const long S = shape.ssftSize, H = S / 2, I = shape.interval;
    const long first = s.firstSample + done * I;
    if (frames != work.m_repeatTimes &&
        work.setSize(S, wave.m_windowLen, shape.mode, I, frames) != CWorkMemory::resultOk) {
        message = "memory allocation failed.\n";
        return false;
    }
    const long execution = work.m_excutionSize;
    {
        std::lock_guard<std::mutex> g(q.lock);
        // The window moves only when the run leaves it, as it does when the view moves on.
        if (first < wave.m_windowStart || first + execution > wave.m_windowStart + wave.m_windowLen)
            wave.m_windowStart =
                int32_t(std::min(first, long(wave.m_totalSamples - wave.m_windowLen)));
        wave.m_cursor = int32_t(first - wave.m_windowStart);
        if (!wave.setSiii()) {
            message = "wave file reading failed.\n";
            return false;
        }
        std::copy(wave.m_window + wave.m_cursor, wave.m_window + wave.m_cursor + execution,
                  work.m_wave);
    }
    const double noise = wave.m_noiseParameter; // a float in the program, widened
    resultVoiceprint r = voiceprintFinished;
    if (done == 0) {
        // The level spectrum first: it uses the planes' first rows as scratch.
        r = computeLevelSpectrum(work, 0, noise, levelOfStretch);
        s.hamDb.assign(work.m_hamDb, work.m_hamDb + H);
        s.restoreDb.assign(work.m_restoreDb, work.m_restoreDb + H);
        s.rectDb.assign(work.m_rectDb, work.m_rectDb + H);
    }
    if (r == voiceprintFinished)
        r = computeVoiceprint(work, noise, {}, {}, threads, s.planes);
    if (r != voiceprintFinished || !convertVoiceprintToDb(work, threads, s.planes)) {
        message = "memory allocation failed.\n";
        return false;
    }
    return true;
}

// Takes runs until none is left or one failed; hands each to the sink in its turn.
void takeRuns(AnalysisSetup& s, const RunShape& shape, CWorkMemory& work, RunQueue& q,
              const ChunkSink& sink, const RunProgress& progress, unsigned threads) {
    const long T = shape.framesPerWindow;
    for (;;) {
        long run;
        {
            std::lock_guard<std::mutex> g(q.lock);
            if (!q.failed && s.cancelled && s.cancelled()) {
                q.failed = true;
                q.message = "voiceprint calculation canceled.\n";
                q.changed.notify_all(); // a run waiting for its turn at the sink stops too
            }
            if (q.failed || q.nextRun * T >= s.frames)
                return;
            run = q.nextRun++;
        }
        const long done = run * T, frames = std::min(T, s.frames - done);
        std::string message;
        const bool ok = analyseRun(s, shape, work, q, done, frames, threads, message);
        std::unique_lock<std::mutex> g(q.lock);
        q.changed.wait(g, [&] { return q.failed || q.sinkTurn == run; });
        if (q.failed)
            return;
        if (!ok ||
            (sink &&
             !sink(AnalysisChunk{done, s.firstSample + done * shape.interval, frames}, work))) {
            q.failed = true;
            q.message = message;
        } else {
            ++q.sinkTurn;
            if (progress)
                progress(done + frames, s.frames);
        }
        g.unlock();
        q.changed.notify_all();
    }
}

// A worker thread must not let an exception out (a full memory, a sink's own failure).
void runWorker(AnalysisSetup& s, const RunShape& shape, CWorkMemory& work, RunQueue& q,
               const ChunkSink& sink, const RunProgress& progress, unsigned threads) {
    try {
        takeRuns(s, shape, work, q, sink, progress, threads);
    } catch (const std::exception&) {
        {
            std::lock_guard<std::mutex> g(q.lock);
            if (!q.failed)
                q.message = "memory allocation failed.\n";
            q.failed = true;
        }
        q.changed.notify_all();
    }
}

} // namespace

bool runAnalysis(AnalysisSetup& s, const ChunkSink& sink, const RunProgress& progress,
                 std::ostream& err) {
    const long T = s.framesPerWindow;
    if (T < 1 || s.frames < 1) {
        err << "data length not enough.\n";
        return false;
    }
    // A recording of several runs takes them side by side, each on one thread with a work
    // memory of its own (memory bounds how many); a single run shares its frames out instead.
    const RunShape shape{s.work.m_ssftSize, s.work.m_interval, T, s.work.m_senseMode};
    const long runs = (s.frames + T - 1) / T;
    const unsigned side = unsigned(std::min<long>({long(s.threads), runs, kRunsSideBySide}));
    std::vector<std::unique_ptr<CWorkMemory>> extra;
    for (unsigned k = 1; k < side; ++k) {
        auto w = std::make_unique<CWorkMemory>();
        if (w->setSize(s.work.m_ssftSize, s.wave.m_windowLen, s.work.m_senseMode, s.work.m_interval,
                       T) != CWorkMemory::resultOk)
            break; // fewer side by side, same numbers
        extra.push_back(std::move(w));
    }
    const unsigned frameThreads = std::max(1u, s.threads / unsigned(1 + extra.size()));
    RunQueue q;
    std::vector<std::thread> threads;
    for (auto& w : extra) {
        try {
            threads.emplace_back(runWorker, std::ref(s), std::cref(shape), std::ref(*w),
                                 std::ref(q), std::cref(sink), std::cref(progress), frameThreads);
        } catch (const std::exception&) {
            break; // the threads there are take every run
        }
    }
    runWorker(s, shape, s.work, q, sink, progress, frameThreads);
    for (std::thread& t : threads)
        t.join();
    if (q.failed) {
        err << q.message;
        return false;
    }
    return true;
}

bool pitchTrack(AnalysisSetup& s, PitchTrack& track, const RunProgress& progress,
                std::ostream& err) {
    track = PitchTrack();
    track.sampleFreq = s.wave.m_sampleFreq;
    s.planes = planesWithoutRect;
    for (auto* v : {&track.time, &track.pitch, &track.pitchLevel, &track.power, &track.harmonics})
        v->reserve(size_t(std::max(0L, s.frames)));
    const double rate = track.sampleFreq;
    const bool widebandShown = !s.hamming;
    const auto sink = [&](const AnalysisChunk& c, const CWorkMemory& w) {
        const PitchSeries p = detectPitch(w.m_restoreDbMap, w.m_hamDbMap, c.frames, w.m_ssftSize,
                                          long(rate), widebandShown);
        if (p.pitch.size() != size_t(c.frames)) {
            err << "pitch detection failed.\n";
            return false;
        }
        for (long t = 0; t < c.frames; ++t) {
            track.time.push_back(double(c.firstSample + t * w.m_interval) / rate);
            track.pitch.push_back(p.pitch[t]);
            track.pitchLevel.push_back(p.pitchPower[t]);
            track.power.push_back(p.power[t]);
            track.harmonics.push_back(p.harmonicsPower[t]);
        }
        return true;
    };
    return runAnalysis(s, sink, progress, err);
}

std::string formatPitchCsv(const PitchTrack& track) {
    std::string csv = "frame,time_s,pitch_hz,pitch_level,power,harmonics\n";
    csv.reserve(csv.size() + track.time.size() * 64);
    char line[256];
    for (size_t t = 0; t < track.time.size(); ++t) {
        const int n =
            std::snprintf(line, sizeof line, "%zu,%.6f,%.6f,%.6f,%.6f,%.6f\n", t, track.time[t],
                          track.pitch[t], track.pitchLevel[t], track.power[t], track.harmonics[t]);
        csv.append(line, size_t(std::min(n, int(sizeof line) - 1)));
    }
    return csv;
}
