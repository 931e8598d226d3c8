#include "cli/CliMemos.h"

#include <cstdlib>
#include <ostream>
#include <string>

#include "cli/CliOutput.h"
#include "engine/memo/MemoInterop.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/AudioConvert.h"
#include "engine/sound/CWavPara.h"

const char* const kMemosUsage =
    "       vocalith-cli memos export FILE.vlh --format textgrid|audacity|csv [--wav FILE.wav]\n"
    "                    [-o OUT] [--width PIXELS]\n"
    "       vocalith-cli memos import FILE.TextGrid|FILE.txt --wav FILE.wav -o FILE.vlh\n"
    "                    [--width PIXELS]\n"
    "\n"
    "  memos export  a memo list as a Praat TextGrid, an Audacity label track or CSV (UTF-8),\n"
    "                to OUT or the standard output (no -o, or -o -). Times come from each group's "
    "analysed\n"
    "                stretch and the memos' places on its voiceprint (docs/formats.md); the\n"
    "                sampling rate from --wav, else from each group's parameter block\n"
    "  memos import  a TextGrid or an Audacity label track as a memo list for the sound\n"
    "  --width PIXELS  the main panel's width the memos' places refer to (default 1000)\n";

namespace {

struct MemosOptions {
    std::string action, file, format, wav, output;
    int width = kMemoPanelWidth;
};

std::string parseMemos(int argc, const char* const* argv, MemosOptions& o) {
    if (argc < 3 || !argv[2])
        return "memos needs export or import.";
    o.action = argv[2];
    if (o.action != "export" && o.action != "import")
        return "memos needs export or import, not " + o.action + ".";
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i] ? argv[i] : "";
        const bool takesValue = a == "--format" || a == "--wav" || a == "-o" || a == "--width";
        if (takesValue) {
            if (i + 1 >= argc || !argv[i + 1])
                return a + " needs a value.";
            const std::string v = argv[++i];
            if (a == "--format" && o.action == "export")
                o.format = v;
            else if (a == "--wav")
                o.wav = v;
            else if (a == "-o")
                o.output = v;
            else if (a == "--width") {
                char* end = nullptr;
                const long w = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || *end != '\0' || w < 8 || w > 100000)
                    return "--width needs a number of pixels from 8 to 100000.";
                o.width = int(w);
            } else
                return "unknown option " + a + " for memos " + o.action + ".";
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a + " for memos " + o.action + ".";
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            return "only one file, please.";
        }
    }
    if (o.file.empty())
        return "no file given.";
    if (o.action == "export" && o.format != "textgrid" && o.format != "audacity" &&
        o.format != "csv")
        return "--format needs textgrid, audacity or csv.";
    if (o.action == "import" && (o.wav.empty() || o.output.empty()))
        return "memos import needs --wav and -o.";
    return std::string();
}

// The sound's facts, read as every command opens a sound (other formats converted).
bool openFacts(const std::string& path, CWavPara& wave, std::ostream& err) {
    const SoundRead read = readSound(wave, path);
    for (const std::string& line : refusalLines(read))
        err << line << "\n";
    return read.read == CWavPara::resultOK;
}

int exportCommand(const MemosOptions& o, CliOutputs& outputs, std::ostream& err) {
    const MemoListRead list = readMemoListFile(o.file);
    if (list.result == MemoListRead::readOpenFailed) {
        err << "vocalith-cli: cannot read " << o.file << ".\n";
        return 1;
    }
    if (list.result == MemoListRead::readBadHeader) {
        err << "memo list uncorrect ( internal error ).\n";
        return 1;
    }
    MemoExportSound sound;
    sound.panelWidth = o.width;
    if (!o.wav.empty()) {
        CWavPara wave;
        if (!openFacts(o.wav, wave, err))
            return 1;
        sound.sampleFreq = wave.m_sampleFreq;
        sound.totalSamples = wave.m_totalSamples;
    }
    const MemoExportFormat format = o.format == "textgrid"   ? MemoExportFormat::textGrid
                                    : o.format == "audacity" ? MemoExportFormat::audacity
                                                             : MemoExportFormat::csv;
    const MemoExport result = exportMemos(memoSlotRefs(list.slots), format, sound);
    for (const std::string& note : result.notes)
        err << note << "\n";
    for (int line : list.damagedLines)
        err << "memo list line " << line << " damaged, read as 0.\n";
    // A damaged list fails the run, and a failed run writes nothing: half a list exported
    // over a whole one's export would be a silent loss. The window keeps what can be read.
    if (list.result == MemoListRead::readDamaged || !list.damagedLines.empty()) {
        err << "memo list read failed.\n";
        return 1;
    }
    const std::string output = o.output.empty() ? "-" : o.output;
    if (!outputs.add(output, result.text) || !outputs.commit())
        return 1;
    if (output != "-")
        outputs.status() << "wrote " << o.output << ": " << result.groups << " groups, "
                         << result.memos << " memos\n";
    return 0;
}

int importCommand(const MemosOptions& o, CliOutputs& outputs, std::ostream& err) {
    CWavPara wave;
    if (!openFacts(o.wav, wave, err))
        return 1;
    MemoImportSound sound;
    sound.sampleFreq = wave.m_sampleFreq;
    sound.quantBit = wave.m_quantBit;
    sound.channelCount = wave.m_channelCount;
    sound.totalSamples = wave.m_totalSamples;
    sound.windowMax = wave.m_windowMax;
    sound.panelWidth = o.width;
    const MemoImport imported = importMemoFile(o.file, sound);
    if (imported.result == MemoImport::importOpenFailed) {
        err << "vocalith-cli: cannot read " << o.file << ".\n";
        return 1;
    }
    for (const std::string& note : imported.notes)
        err << note << "\n";
    // A damaged file fails the run, which then leaves the memo list it names as it was.
    if (imported.result == MemoImport::importDamaged) {
        err << imported.message << "\n"
            << "quit to read " << o.file << "\n";
        return 1;
    }
    std::string bytes;
    formatMemoList(memoSlotRefs(imported.slots), bytes);
    if (!outputs.add(o.output, bytes) || !outputs.commit())
        return 1;
    outputs.status() << "wrote " << o.output << ": " << imported.slots.size() << " groups\n";
    return 0;
}

} // namespace

int runMemosCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    MemosOptions o;
    const std::string problem = parseMemos(argc, argv, o);
    if (!problem.empty()) {
        err << "vocalith-cli: " << problem << "\nusage:" << (kMemosUsage + 6);
        return 1;
    }
    // Refused before anything is read: an output that would write over an input.
    CliOutputs outputs(out, err);
    outputs.addInput(o.file);
    outputs.addInput(o.wav);
    if (!o.output.empty() && !outputs.check(o.output))
        return 1;
    return o.action == "export" ? exportCommand(o, outputs, err) : importCommand(o, outputs, err);
}
