#pragma once

// Runs, builders and includes shared by the CLI and memo tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using TermMemo = std::tuple<std::string, float, int>;

#include "cli/Cli.h"
#include "engine/analysis/AnalysisRun.h"
#include "engine/analysis/OpeningDefaults.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/ParameterBlock.h"
#include "support/SoundFiles.h"

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

// A 16-bit mono analysis with noise 0.0005 over 0 .. freqHigh Hz and dbLow .. 0 dB.
inline ParameterValues analysis(int32_t freq, int32_t total, int32_t ssft, int32_t interval,
                                int32_t frames, int32_t freqHigh, double dbLow) {
    return {freq, 16, 1, total, 0, ssft, interval, frames, 0.0005f, 0, freqHigh, dbLow, 0.0};
}

inline std::unique_ptr<CArchMemo> memoRecord(const std::string& text, float relX = 0,
                                             int freq = 0) {
    auto m = std::make_unique<CArchMemo>();
    m->m_memoText = wxString::FromUTF8(text.c_str());
    m->m_relX = relX;
    m->m_freq = freq;
    return m;
}

// A group whose stretch starts at viewStart + cursor; its param memo holds `block`, its terms are
// text, relX and frequency.
inline MemoSlot memoGroup(const std::string& block, int32_t viewStart, int32_t cursor,
                          CArchMemo::MemoPrior prior, const std::vector<TermMemo>& terms) {
    MemoSlot s;
    s.param = memoRecord(block);
    s.param->m_viewStart = viewStart;
    s.param->m_viewCursor = cursor;
    s.sub = memoRecord("+");
    s.sub->SetMemoPrior(prior);
    for (const auto& [text, relX, freq] : terms)
        s.terms.push_back(memoRecord(text, relX, freq));
    return s;
}

// The memo list file of one group.
inline std::string oneGroupList(MemoSlot group) {
    std::vector<MemoSlot> slots;
    slots.push_back(std::move(group));
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    return bytes;
}
