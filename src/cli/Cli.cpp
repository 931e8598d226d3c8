#include "cli/Cli.h"

#include "engine/analysis/AnalysisRun.h"
#include "cli/CliWhole.h"
#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/Pitch.h"
#include "engine/analysis/Voiceprint.h"
#include "engine/render/PictureFiles.h"
#include "cli/CliMemos.h"
#include "cli/CliOutput.h"
#include "engine/render/VoiceprintPng.h"
#include "engine/memo/DemoMemos.h"
#include "engine/memo/MemoInterop.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/SiblingPath.h"
#include "engine/sound/AudioConvert.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/DemoVoice.h"
#include "engine/sound/WavHeader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

namespace {

const char* const kUsageText =
    "usage: vocalith-cli info FILE.wav [--channel left|right|mix]\n"
    "       vocalith-cli voiceprint FILE.wav [options] [--npy DIR] [--png FILE [picture options]]\n"
    "       vocalith-cli pitch FILE.wav [options] [--hamming]\n"
    "       vocalith-cli voiceprint|pitch FILE.wav --whole [--from SECONDS] [--to SECONDS]\n"
    "       vocalith-cli demo OUT.wav\n"
    "       vocalith-cli memos export FILE.vlh --format @FORMATS@ [--wav FILE.wav]\n"
    "                    [-o OUT] [--width PIXELS]\n"
    "       vocalith-cli memos import FILE.TextGrid|FILE.txt|FILE.trn --wav FILE.wav -o FILE.vlh\n"
    "                    [--width PIXELS]\n"
    "\n"
    "  info        the sound's format and the analysis parameters that opening it sets\n"
    "  voiceprint  the voiceprint of the analysed stretch, computed as the program does;\n"
    "              prints the time taken. --npy DIR writes the dB planes hamDbMap.npy,\n"
    "              restoreDbMap.npy and rectDbMap.npy (float64, frames x bins) and the level\n"
    "              spectra of the stretch's first frame hamDb.npy, restoreDb.npy and\n"
    "              rectDb.npy (bins); --png FILE writes a picture of the restored voiceprint\n"
    "              in grey over the frequency and dB ranges, with a time axis in seconds, a\n"
    "              frequency axis in Hz and a grey bar of the dB range (FILE - is the\n"
    "              standard output). Files are written only when the command succeeds\n"
    "  demo        writes the synthetic voice of the demo recording (24 s, 44.1 kHz) and its\n"
    "              memo list beside it (OUT's base name + .vlh)\n"
    "              and its transcript (.trn) with the picture a memo shows (-figure.png)\n"
    "  memos       memo lists to and from other tools (@LABELS@)\n"
    "              (run vocalith-cli memos for its details)\n"
    "  pitch       CSV, one line per frame: frame,time_s,pitch_hz,pitch_level,power,harmonics\n"
    "              (time_s: the frame's first sample in seconds; pitch 0 where none)\n"
    "\n"
    "options (defaults are those of opening the file; values are checked as a confirmed\n"
    "parameter block is, and the frames are fitted into the window):\n"
    "  --start SAMPLE  first sample of the analysed stretch, 0 to window length - ExcutionSize\n"
    "  --fine          fine sense mode (default normal)\n"
    "  --ssft N        [SsftSize]: 256, 512, 1024, 2048, 4096, 8192, 16384 or 32768\n"
    "  --interval N    [Interval]: samples between frames\n"
    "  --frames N      [RepeatTimes]: number of frames\n"
    "  --noise X       [NoiseParameter]\n"
    "  --threads N     threads of the frame loop, 1 to 1024 (default: every core)\n"
    "  --hamming       pitch: judge harmonics on the Hamming voiceprint (default: restored)\n"
    "  --whole         every frame of the sound at the hop, not one window's; the frames go in\n"
    "                  runs of --frames, each analysed as the window analyses its stretch\n"
    "                  (voiceprint: with --npy only; the planes are written as they come)\n"
    "  --from, --to    seconds: the span of a whole run (default: the whole sound)\n"
    "  --channel C     of a stereo sound: left (default), right or mix (their rounded mean)\n"
    "\n"
    "FILE may also be a WAV of other sample formats, FLAC, Ogg, AIFF, CAF or MP3: it is\n"
    "converted to 16 bits in memory first.\n"
    "\n"
    "picture options (voiceprint --png):\n"
    "  --size WxH      the picture's size in pixels, 200x150 to 4096x4096 (default 1200x600)\n"
    "  --pitch         the pitch contour over it, as the program draws it\n"
    "  --memos FILE    the memos of a memo list (.vlh) that lie on the analysed stretch\n"
    "  --plain         instead, the bare grey plane: one column per frame, one row per bin\n";

// The usage with the export formats of the engine's table.
const std::string& usageText() {
    static const std::string text = [] {
        std::string t = kUsageText, labels;
        for (const MemoExportFormatInfo& f : memoExportFormats())
            labels += (labels.empty() ? "" : ", ") + std::string(f.label);
        t.replace(t.find("@FORMATS@"), 9, memoExportFormatNames("|", "|"));
        t.replace(t.find("@LABELS@"), 8, labels);
        return t;
    }();
    return text;
}

struct Options : AnalysisOptions {
    std::string command;
    std::string file;
    std::string npyDir, pngFile;
    // The labelled picture of --png.
    std::optional<std::string> pictureSize, memoFile;
    bool pitchOverlay = false;
    bool plainPicture = false;
    int pictureWidth = 1200, pictureHeight = 600;
};

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[128];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

int usageError(std::ostream& err, const std::string& message) {
    err << "vocalith-cli: " << message << "\n" << usageText();
    return 1;
}

// "WxH" within the sizes the picture takes.
bool parsePictureSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    long wv = 0, hv = 0;
    if (x == std::string::npos || !parseWhole(text.substr(0, x), wv) ||
        !parseWhole(text.substr(x + 1), hv) || wv < kPictureMinWidth || hv < kPictureMinHeight ||
        wv > kPictureMaxSide || hv > kPictureMaxSide)
        return false;
    width = int(wv);
    height = int(hv);
    return true;
}

// Splits the command line; returns an empty string or the reason it is wrong.
std::string parseArguments(int argc, const char* const* argv, Options& o) {
    o.command = argv[1];
    const bool analysis = o.command != "info";
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i] ? argv[i] : "";
        auto value = [&](std::optional<std::string>& slot) {
            if (i + 1 >= argc || !argv[i + 1])
                return false;
            slot = argv[++i];
            return true;
        };
        std::optional<std::string> path;
        bool ok = true;
        if (a.size() > 1 && a[0] == '-' && !analysis && a != "--channel")
            return "info takes no options but --channel.";
        if (a == "--channel")
            ok = value(o.channel);
        else if (a == "--start")
            ok = value(o.start);
        else if (a == "--ssft")
            ok = value(o.ssft);
        else if (a == "--interval")
            ok = value(o.interval);
        else if (a == "--frames")
            ok = value(o.frames);
        else if (a == "--noise")
            ok = value(o.noise);
        else if (a == "--threads")
            ok = value(o.threads);
        else if (a == "--fine")
            o.fine = true;
        else if (a == "--hamming" && o.command == "pitch")
            o.hamming = true;
        else if (a == "--whole")
            o.whole = true;
        else if (a == "--from" || a == "--to")
            ok = value(a == "--from" ? o.from : o.to);
        else if ((a == "--npy" || a == "--png") && o.command == "voiceprint") {
            ok = value(path);
            if (ok)
                (a == "--npy" ? o.npyDir : o.pngFile) = *path;
        } else if ((a == "--size" || a == "--memos") && o.command == "voiceprint")
            ok = value(a == "--size" ? o.pictureSize : o.memoFile);
        else if (a == "--pitch" && o.command == "voiceprint")
            o.pitchOverlay = true;
        else if (a == "--plain" && o.command == "voiceprint")
            o.plainPicture = true;
        else if (a.size() > 1 && a[0] == '-')
            return "unknown option " + a + " for " + o.command + ".";
        else if (o.file.empty())
            o.file = a;
        else
            return "only one file, please.";
        if (!ok)
            return a + " needs a value.";
    }
    if (o.file.empty())
        return "no file given.";
    if (o.channel && !parseAnalysedChannel(*o.channel))
        return "--channel needs left, right or mix.";
    if (o.whole && !o.pngFile.empty())
        return "--png goes with a window's run, not --whole.";
    if (o.pngFile.empty() && (o.pictureSize || o.memoFile || o.pitchOverlay || o.plainPicture))
        return "--size, --pitch, --memos and --plain go with --png.";
    if (o.plainPicture && (o.pictureSize || o.memoFile || o.pitchOverlay))
        return "--plain takes no other picture option.";
    if (o.pictureSize && !parsePictureSize(*o.pictureSize, o.pictureWidth, o.pictureHeight))
        return format("--size needs WIDTHxHEIGHT from %dx%d to %dx%d.", kPictureMinWidth,
                      kPictureMinHeight, kPictureMaxSide, kPictureMaxSide);
    return std::string();
}

} // namespace

namespace {

// The parameter block's items, one per line.
void printInfo(const CWavPara& w, const CWorkMemory& m, std::ostream& out) {
    const double freq = w.m_sampleFreq; // positive: opening refused anything else
    out << format("[SampleFreq]=%ld\n", long(w.m_sampleFreq))
        << format("[QuantBit]=%ld\n", long(w.m_quantBit))
        << format("[ChannelCount]=%d\n", int(w.m_channelCount))
        << format("[TotalLength]=%ld\n", long(w.m_totalSamples))
        << format("[TotalSec]=%0.03lf[s]\n", w.m_totalSamples / freq)
        << format("[SenseMode(normal or fine)]= %s\n",
                  m.m_senseMode == CWorkMemory::senseFine ? "fine" : "normal")
        << format("[SsftSize]=%ld\n", long(m.m_ssftSize))
        << format("[SsftSec]=%0.03lf[s]\n", m.m_ssftSize / freq)
        << format("[Interval]=%ld\n", long(m.m_interval))
        << format("[RepeatTimes]=%ld\n", long(m.m_repeatTimes))
        << format("[NoiseParameter]=%12.10lf\n", double(w.m_noiseParameter))
        << format("[ExcutionSize]=%ld\n", long(m.m_excutionSize))
        << format("[ExcutionSec]=%0.03lf[s]\n", m.m_excutionSize / freq)
        << format("[FreqrRnage]=[%ld,%ld]\n", long(w.m_freqLow), long(w.m_freqHigh))
        << format("[dBRnage]=[%.1lf,%.1lf]\n", w.m_dbLow, w.m_dbHigh);
}

// The scene of the analysed stretch's restored voiceprint.
VoiceprintScene stretchScene(const Options& o, const CWavPara& w, const CWorkMemory& m) {
    VoiceprintScene scene;
    scene.plane = m.m_restoreDbMap;
    scene.frames = m.m_repeatTimes;
    scene.bins = m.m_ssftSize / 2;
    scene.sampleFreq = w.m_sampleFreq;
    scene.interval = m.m_interval;
    scene.firstSample = long(w.m_windowStart) + w.m_cursor;
    scene.freqLow = w.m_freqLow;
    scene.freqHigh = w.m_freqHigh;
    scene.dbLow = w.m_dbLow;
    scene.dbHigh = w.m_dbHigh;
    scene.title = pictureTitle(o.file);
    return scene;
}

// The labelled picture of the restored voiceprint, with the pitch and memos when asked for;
// empty, with a message, when it cannot be made.
std::string labelledPicture(const Options& o, const CWavPara& w, const CWorkMemory& m,
                            std::ostream& err) {
    VoiceprintScene scene = stretchScene(o, w, m);
    if (o.memoFile) {
        const MemoListRead list = readMemoListFile(*o.memoFile);
        if (list.result == MemoListRead::readOpenFailed ||
            list.result == MemoListRead::readBadHeader) {
            err << "vocalith-cli: cannot read the memo list " << *o.memoFile << ".\n";
            return std::string();
        }
        if (list.result == MemoListRead::readDamaged)
            err << "vocalith-cli: the memo list " << *o.memoFile
                << " is damaged; the groups read before the damage are shown.\n";
        scene.memos = memosOnPicture(list.slots, scene);
    }
    const std::string png = labelledVoiceprintPng(scene, o.pitchOverlay ? m.m_hamDbMap : nullptr,
                                                  o.pictureWidth, o.pictureHeight);
    if (png.empty())
        err << (o.pitchOverlay ? "vocalith-cli: pitch detection failed.\n"
                               : "vocalith-cli: cannot write " + o.pngFile + ".\n");
    return png;
}

const char* const kNpyNames[] = {"hamDbMap", "restoreDbMap", "rectDbMap",
                                 "hamDb",    "restoreDb",    "rectDb"};

std::string npyPath(const Options& o, const char* name) {
    return o.npyDir + "/" + name + ".npy";
}

// Refuses outputs that name the command's inputs or cannot be written, before any work.
bool checkOutputs(const Options& o, CliOutputs& outputs, std::ostream& err) {
    outputs.addInput(o.file);
    outputs.addInput(o.memoFile.value_or(std::string()));
    if (!o.pngFile.empty() && !outputs.check(o.pngFile))
        return false;
    struct stat st;
    if (!o.npyDir.empty() && stat(o.npyDir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        err << "vocalith-cli: " << directoryProblem(o.npyDir) << "\n";
        return false;
    }
    if (!o.npyDir.empty() && stat(o.npyDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        for (const char* name : kNpyNames)
            if (!outputs.check(npyPath(o, name), false))
                return false;
    return true;
}

// Every file is made first and put in place only when all of them could be, so a failure
// leaves the files of an earlier run as they were.
bool writeOutputs(const Options& o, const CWavPara& w, const CWorkMemory& m, CliOutputs& outputs,
                  std::ostream& err) {
    const long frames = m.m_repeatTimes;
    const long bins = m.m_ssftSize / 2;
    std::string png;
    if (!o.pngFile.empty()) {
        png = o.plainPicture ? plainVoiceprintPng(stretchScene(o, w, m))
                             : labelledPicture(o, w, m, err);
        if (png.empty()) {
            if (o.plainPicture)
                err << "vocalith-cli: cannot write " << o.pngFile << ".\n";
            return false;
        }
    }
    std::vector<std::string> written;
    bool madeDirectory = false, ok = true;
    if (!o.npyDir.empty()) {
        struct stat st;
        madeDirectory = stat(o.npyDir.c_str(), &st) != 0;
        if (!makeDirectory(o.npyDir)) {
            err << "vocalith-cli: " << directoryProblem(o.npyDir) << "\n";
            return false;
        }
        const struct {
            const double* data;
            long rows;
        } arrays[] = {{m.m_hamDbMap, frames}, {m.m_restoreDbMap, frames}, {m.m_rectDbMap, frames},
                      {m.m_hamDb, -1},        {m.m_restoreDb, -1},        {m.m_rectDb, -1}};
        for (size_t i = 0; i < std::size(arrays); ++i) {
            written.push_back(npyPath(o, kNpyNames[i]));
            ok = outputs.add(written.back(), npyBytes(arrays[i].data, arrays[i].rows, bins), false);
            if (!ok)
                break;
        }
    }
    if (!o.pngFile.empty())
        written.push_back(o.pngFile);
    ok = ok && (o.pngFile.empty() || outputs.add(o.pngFile, png)) && outputs.commit();
    if (!ok) {
        outputs.discard();
        if (madeDirectory)
            rmdir(o.npyDir.c_str());
        return false;
    }
    for (const std::string& path : written)
        outputs.status() << "wrote " << path << "\n";
    return true;
}

int runAnalysisCommand(const Options& o, CliOutputs& outputs, std::ostream& out,
                       std::ostream& err) {
    AnalysisSetup s;
    std::string usage;
    switch (prepareAnalysis(SoundSource::file(o.file), o, s, err, usage)) {
    case Prepared::failed:
        return 1;
    case Prepared::usage:
        return usageError(err, usage);
    case Prepared::ok:
        break;
    }
    const RunProgress progress = terminalProgress(err);
    if (o.command == "pitch") {
        PitchTrack track;
        if (!pitchTrack(s, track, progress, err))
            return 1;
        out << formatPitchCsv(track);
        return 0;
    }
    if (o.whole)
        return runWholeVoiceprint(s, o.npyDir, progress, outputs.status(), err);
    // Only --npy reads the unwindowed plane; a picture alone need not pay for it.
    if (o.npyDir.empty())
        s.planes = planesWithoutRect;
    const auto begin = std::chrono::steady_clock::now();
    if (!runAnalysis(s, {}, progress, err))
        return 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    outputs.status() << voiceprintSummary(s, seconds);
    return writeOutputs(o, s.wave, s.work, outputs, err) ? 0 : 1;
}

// The demo recording's memo list beside it (base name + ".vlh"), so that opening the recording
// shows memos at once. The groups are made for the parameters opening it sets; the recording
// is read from `readPath`, where its bytes wait before they are put in place.
bool addDemoMemos(const std::string& wav, const std::string& readPath, CliOutputs& outputs,
                  std::ostream& err) {
    CWavPara wave;
    CWorkMemory work;
    if (!openSound(SoundSource::file(readPath), wave, work, err))
        return false;
    ParameterValues opened;
    opened.sampleFreq = wave.m_sampleFreq;
    opened.quantBit = wave.m_quantBit;
    opened.channelCount = wave.m_channelCount;
    opened.totalSamples = wave.m_totalSamples;
    opened.senseMode = work.m_senseMode;
    opened.ssftSize = work.m_ssftSize;
    opened.interval = work.m_interval;
    opened.repeatTimes = work.m_repeatTimes;
    opened.noiseParameter = wave.m_noiseParameter;
    opened.freqLow = wave.m_freqLow;
    opened.freqHigh = wave.m_freqHigh;
    opened.dbLow = wave.m_dbLow;
    opened.dbHigh = wave.m_dbHigh;
    const std::vector<MemoSlot> slots = demoMemoSlots(opened, wave.m_windowLen);
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    const std::string memoPath = siblingPath(wav, ".vlh").value_or(wav + ".vlh");
    if (slots.empty()) {
        err << "vocalith-cli: cannot write " << memoPath << ".\n";
        return false;
    }
    return outputs.add(memoPath, bytes, false);
}

// The demo recording's bytes.
std::string demoWav() {
    const std::vector<int16_t> samples = synthesizeDemoVoice(44100, 24.0);
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<unsigned char> bytes(kWavHeaderBytes + dataBytes);
    writeWavHeader(bytes.data(), dataBytes, 44100, 16, 1);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto v = static_cast<uint16_t>(samples[i]);
        bytes[kWavHeaderBytes + 2 * i] = static_cast<unsigned char>(v & 0xFF);
        bytes[kWavHeaderBytes + 2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
    return std::string(bytes.begin(), bytes.end());
}

// The demo recording's transcript (base name + ".trn"), one range per phrase of the synthetic
// voice, and the picture one of its terms shows (base name + "-figure.png"): the five vowels'
// first two formants as dots, F2 from 2400 Hz (left) to 800 Hz, F1 from 250 Hz (top) to 800 Hz.
bool addDemoTranscript(const std::string& wav, CliOutputs& outputs) {
    const std::string base = siblingPath(wav, "").value_or(wav);

    const char* const vowels[] = {"a", "i", "u", "e", "o"}; // the synthesiser's order
    std::string text = "% Transcript of the demo recording: eight phrases of synthetic vowels, "
                       "0.3 s each.\n"
                       "% A range line is \"number start-end label\"; the line after it is the "
                       "title, the others are terms.\n";
    for (int p = 0; p < 8; ++p) {
        std::string label;
        for (int s = 0; s < 8; ++s)
            label += std::string(s ? "-" : "") + vowels[(s + p) % 5];
        const int low = 95 + 25 * (p % 3);
        // Phrases start every 3 s and last 2.4 s; integers keep the locale out of the times.
        text += format("%d %d.0-%d.4 %s\nphrase %d\npitch falls from about %d Hz to %d Hz\n", p + 1,
                       3 * p, 3 * p + 2, label.c_str(), p + 1, low + 40, low);
        if (p == 0)
            text += "vowel chart of the five vowels\n[ImageMemo]=figure.png\n";
    }

    const int width = 160, height = 80;
    std::vector<unsigned char> chart(size_t(width) * height, 255);
    for (int x = 0; x < width; ++x)
        chart[x] = chart[size_t(height - 1) * width + x] = 0;
    for (int y = 0; y < height; ++y)
        chart[size_t(y) * width] = chart[size_t(y) * width + width - 1] = 0;
    const int formants[][2] = {{730, 1090}, {270, 2290}, {300, 870}, {530, 1840}, {570, 840}};
    for (const auto& f : formants) {
        const int cx = 8 + (2400 - f[1]) * (width - 16) / 1600;
        const int cy = 8 + (f[0] - 250) * (height - 16) / 550;
        for (int y = cy - 2; y <= cy + 2; ++y)
            for (int x = cx - 2; x <= cx + 2; ++x)
                chart[size_t(y) * width + x] = 0;
    }

    return outputs.add(base + ".trn", text, false) &&
           outputs.add(base + "-figure.png", greyPngBytes(chart, width, height), false);
}

// The recording, its memo list, its transcript and the transcript's picture, all or none.
// The memo list is made by opening the recording, so it must be a file that can be read back.
int writeDemo(const std::string& path, std::ostream& out, std::ostream& err) {
    CliOutputs outputs(out, err);
    if (!outputs.check(path, false))
        return 1;
    if (!outputs.add(path, demoWav(), false))
        return 1;
    const std::string staged = outputs.stagedPath(path);
    if (staged.empty()) {
        err << "vocalith-cli: demo needs a regular file, not " << path << ".\n";
        return 1;
    }
    return addDemoMemos(path, staged, outputs, err) && addDemoTranscript(path, outputs) &&
                   outputs.commit()
               ? 0
               : 1;
}

} // namespace

namespace {

int runCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    if (argc < 2 || !argv || !argv[1]) {
        err << usageText();
        return 1;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        out << usageText();
        return 0;
    }
    if (command == "demo") {
        if (argc != 3)
            return usageError(err, "demo needs one file name.");
        return writeDemo(argv[2], out, err);
    }
    if (command == "memos")
        return runMemosCommand(argc, argv, out, err);
    if (command != "info" && command != "voiceprint" && command != "pitch")
        return usageError(err, "unknown command " + command + ".");
    Options o;
    const std::string problem = parseArguments(argc, argv, o);
    if (!problem.empty())
        return usageError(err, problem);

    CliOutputs outputs(out, err);
    if (!checkOutputs(o, outputs, err))
        return 1;
    if (o.command == "info") {
        CWavPara wave;
        CWorkMemory work;
        if (!openSound(SoundSource::file(o.file), wave, work, err,
                       parseAnalysedChannel(o.channel.value_or("left")).value()))
            return 1;
        printInfo(wave, work, out);
        return 0;
    }
    return runAnalysisCommand(o, outputs, out, err);
}

} // namespace

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    const int status = runCommand(argc, argv, out, err);
    // A full disk or a file-size limit under the standard output must not pass as success.
    if (!out.flush()) {
        err << "vocalith-cli: cannot write the standard output.\n";
        return 1;
    }
    return status;
}
