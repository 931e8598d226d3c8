#include "cli/CliMemos.h"

#include <cstdlib>
#include <ostream>
#include <string>

#include "cli/CliOutput.h"
#include "engine/memo/MemoExchange.h"

std::string memosUsage() {
    std::string labels;
    const std::vector<MemoExportFormatInfo>& formats = memoExportFormats();
    for (size_t k = 0; k < formats.size(); ++k)
        labels += (k == 0                    ? ""
                   : k + 1 == formats.size() ? " or "
                                             : ", ") +
                  std::string(formats[k].label) + " (." + formats[k].extension + ")";
    return "       vocalith-cli memos export FILE.vlh --format " + memoExportFormatNames("|", "|") +
           " [--wav FILE.wav]\n"
           "                    [-o OUT] [--width PIXELS]\n"
           "       vocalith-cli memos import FILE.TextGrid|FILE.txt|FILE.trn --wav FILE.wav -o "
           "FILE.vlh\n"
           "                    [--width PIXELS]\n"
           "\n"
           "  memos export  a memo list as " +
           labels +
           ", UTF-8, to OUT or the standard output\n"
           "                (no -o, or -o -). Times come from each group's analysed stretch and\n"
           "                the memos' places on its voiceprint (docs/formats.md); the sampling\n"
           "                rate from --wav, else from each group's parameter block\n"
           "  memos import  a TextGrid, an Audacity label track, a transcript (.trn) or an old\n"
           "                memo text (.txt) as a memo list for the sound\n"
           "  --width PIXELS  the main panel's width the memos' places refer to (default 1000)\n";
}

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
    if (o.action == "export" && !memoExportFormatNamed(o.format))
        return "--format needs " + memoExportFormatNames(", ", " or ") + ".";
    if (o.action == "import" && (o.wav.empty() || o.output.empty()))
        return "memos import needs --wav and -o.";
    return std::string();
}

// Notes and reasons, one line each.
void printLines(const MemoExchange& x, std::ostream& err) {
    for (const std::string& line : x.lines)
        err << line << "\n";
}

int exportCommand(const MemosOptions& o, CliOutputs& outputs, std::ostream& err) {
    const MemoExchange x =
        exportMemoListFile(o.file, memoExportFormatNamed(o.format)->format, o.wav, o.width);
    printLines(x, err);
    if (!x.ok)
        return 1;
    const std::string output = o.output.empty() ? "-" : o.output;
    if (!outputs.add(output, x.bytes) || !outputs.commit())
        return 1;
    if (output != "-")
        outputs.status() << "wrote " << o.output << ": " << x.groups << " groups, " << x.memos
                         << " memos\n";
    return 0;
}

int importCommand(const MemosOptions& o, CliOutputs& outputs, std::ostream& err) {
    const MemoExchange x = importMemoListFile(o.file, o.wav, o.width);
    printLines(x, err);
    if (!x.ok)
        return 1;
    if (!outputs.add(o.output, x.bytes) || !outputs.commit())
        return 1;
    outputs.status() << "wrote " << o.output << ": " << x.groups << " groups\n";
    return 0;
}

} // namespace

int runMemosCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    MemosOptions o;
    const std::string problem = parseMemos(argc, argv, o);
    if (!problem.empty()) {
        err << "vocalith-cli: " << problem << "\nusage:" << memosUsage().substr(6);
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
