#pragma once

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/ParameterBlock.h"

// One run of vocalith-cli's logic with the given arguments (the program name is added).
struct CliRun {
    int status;
    std::string out, err;
};

inline CliRun cli(std::vector<std::string> args) {
    args.insert(args.begin(), "vocalith-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = runCli(int(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

inline std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// A 16-bit mono analysis with noise 0.0005 over 0 .. freqHigh Hz and dbLow .. 0 dB.
inline ParameterValues analysis(int32_t freq, int32_t total, int32_t ssft, int32_t interval,
                                int32_t frames, int32_t freqHigh, double dbLow) {
    ParameterValues v;
    v.sampleFreq = freq;
    v.quantBit = 16;
    v.totalSamples = total;
    v.ssftSize = ssft;
    v.interval = interval;
    v.repeatTimes = frames;
    v.noiseParameter = 0.0005f;
    v.freqHigh = freqHigh;
    v.dbLow = dbLow;
    return v;
}

// A memo list file of one group from sample `start`, one memo per text at (relX, freq).
inline std::string oneGroupList(const ParameterValues& v, int start, CArchMemo::MemoPrior prior,
                                std::vector<const char*> texts, float relX, int freq) {
    std::vector<MemoSlot> slots(1);
    slots[0].param = std::make_unique<CArchMemo>();
    slots[0].param->m_memoText = wxString::FromUTF8(formatParameterBlock(v));
    slots[0].param->m_viewCursor = start;
    slots[0].sub = std::make_unique<CArchMemo>();
    slots[0].sub->m_memoText = "+";
    slots[0].sub->SetMemoPrior(prior);
    for (const char* text : texts) {
        slots[0].terms.push_back(std::make_unique<CArchMemo>());
        slots[0].terms.back()->m_memoText = wxString::FromUTF8(text);
        slots[0].terms.back()->m_relX = relX;
        slots[0].terms.back()->m_freq = freq;
    }
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    return bytes;
}
