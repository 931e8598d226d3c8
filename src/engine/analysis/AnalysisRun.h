#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Voiceprint.h"
#include "engine/sound/AnalysedChannel.h"
#include "engine/sound/CWavPara.h"

// The analysis every front end runs (the command line's voiceprint and pitch, Python, corpus
// runs): one place opens the sound, checks the options and runs the frames, so all give the same
// numbers to the last bit.
//
// A run covers its frames window by window. Frame k starts at sample first + k x Interval. The
// frames are taken in runs of RepeatTimes (as fitted into the window); each run is analysed as
// the window analyses its stretch: the window is placed at the run's first sample (or as late as
// the sound allows), and the dB planes are normalised over that run alone. So the first run of a
// whole recording is exactly the default run, and every later run is the window's own voiceprint
// of that stretch.

// The options as typed: the command line's words, or Python's keywords turned into them.
struct AnalysisOptions {
    std::optional<std::string> start, ssft, interval, frames, noise, threads;
    std::optional<std::string> from, to; // seconds; with whole only
    // left, right or mix; unset: the window's channel (the first)
    std::optional<std::string> channel;
    bool fine = false;
    bool hamming = false; // pitch: harmonics judged on the Hamming voiceprint
    bool whole = false;   // every frame of the sound (or of from .. to), not one window's

    bool changesParameters() const { return fine || ssft || interval || frames || noise; }
};

// An opened sound with the options applied.
struct AnalysisSetup {
    CWavPara wave;
    CWorkMemory work;
    unsigned threads = 1;
    bool hamming = false;                // pitch: harmonics judged on the Hamming voiceprint
    voiceprintPlanes planes = planesAll; // pitch needs no unwindowed plane
    long firstSample = 0;                // of frame 0, in the file
    long frames = 0;                     // in the whole run
    long framesPerWindow = 0;            // RepeatTimes as fitted into the window
    // The level spectra of frame 0 (H values each), kept over the run's resizing.
    std::vector<double> hamDb, restoreDb, rectDb;
    std::function<bool()> cancelled; // may be called on any thread of the run
};

// A whole decimal integer, as the parameter block reads one; a finite decimal number.
bool parseWhole(const std::string& s, long& v);
bool parseDecimal(const std::string& s, double& v);

// What a front end analyses: a file (converted in memory when it is another format), or 16-bit
// samples held in memory (borrowed: they must outlive the opening, which copies them).
struct SoundSource {
    std::string path; // the file, or the name of samples in memory
    const int16_t* samples = nullptr;
    size_t frames = 0;
    int channels = 0;
    long rate = 0;

    static SoundSource file(const std::string& path) {
        SoundSource s;
        s.path = path;
        return s;
    }
    bool inMemory() const { return samples != nullptr; }
};

// Opening as the window opens a sound (openingDefaults), and the options checked as a confirmed
// parameter block is; messages go to err.
bool openSound(const SoundSource& source, CWavPara& wave, CWorkMemory& work, std::ostream& err,
               AnalysedChannel channel = AnalysedChannel::left);
bool applyOptions(const AnalysisOptions& o, CWavPara& wave, CWorkMemory& work, std::ostream& err);

enum class Prepared { ok, failed, usage };
// Opens the sound and applies the options. failed: the message is on err; usage: `usage` holds a
// message that the usage text should follow.
Prepared prepareAnalysis(const SoundSource& source, const AnalysisOptions& o, AnalysisSetup& s,
                         std::ostream& err, std::string& usage);

// One run of frames, analysed: rows 0 .. frames - 1 of the dB planes of the work memory the
// sink is given.
struct AnalysisChunk {
    long firstFrame = 0;  // index in the whole run
    long firstSample = 0; // in the file
    long frames = 0;
};
// Return false to stop the run (the sink has written its message).
// Progress is called after each run of frames handed to the sink; a run that is asked to stop
// (AnalysisSetup::cancelled returning true, polled before each run of frames) fails with
// "voiceprint calculation canceled." on err.
using ChunkSink = std::function<bool(const AnalysisChunk&, const CWorkMemory&)>;
using RunProgress = std::function<void(long framesDone, long framesTotal)>;

// Computes the level spectra of frame 0 and every run of frames, handing the runs to `sink` in
// order, one at a time. With several threads and runs, up to kRunsSideBySide runs are computed
// at once, each in a work memory of its own, so sink and progress may be called on other
// threads (never two at once). The numbers do not depend on the threads. False, with the
// message on err, when memory or reading fails or the sink stops.
constexpr long kRunsSideBySide = 4;
bool runAnalysis(AnalysisSetup& s, const ChunkSink& sink, const RunProgress& progress,
                 std::ostream& err);

// The pitch track of a whole run, one entry per frame.
struct PitchTrack {
    long sampleFreq = 0;
    std::vector<double> time, pitch, pitchLevel, power, harmonics;
};
bool pitchTrack(AnalysisSetup& s, PitchTrack& track, const RunProgress& progress,
                std::ostream& err);
// The CSV the pitch command prints: a header, then frame,time_s,pitch_hz,pitch_level,power,
// harmonics with six decimals.
std::string formatPitchCsv(const PitchTrack& track);
