#include "engine/memo/DemoMemos.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <wx/string.h>

namespace {

// The timing of synthesizeDemoVoice: phrases of 2.4 s every 3 s, syllables of 0.3 s whose
// vowel k (from the phrase number on) cycles a, i, u, e, o; F1 and F2 of each vowel.
const double kPhraseEvery = 3.0;
const double kPhraseLength = 2.4;
const double kSyllable = 0.3;
const struct {
    const char* name;
    int f1, f2;
} kVowels[] = {
    {"a", 730, 1090}, {"i", 270, 2290}, {"u", 300, 870}, {"e", 530, 1840}, {"o", 570, 840}};

// Overview rows step down a quarter of a nominal height and wrap before its lowest tenth, as
// titles added by hand do.
float overviewRow(int title) {
    const int height = 100;
    return float((title * height / 4) % (height * 9 / 10)) / height;
}

std::unique_ptr<CArchMemo> memo(const wxString& text, int title, int term) {
    auto m = std::make_unique<CArchMemo>();
    m->m_memoText = text;
    m->m_titleNo = title;
    m->m_termNo = term;
    return m;
}

} // namespace

std::vector<MemoSlot> demoMemoSlots(const ParameterValues& opened, int32_t windowLen) {
    std::vector<MemoSlot> slots;
    const double rate = opened.sampleFreq;
    if (rate <= 0 || opened.interval < 1 || opened.ssftSize < 1 || windowLen < 1)
        return slots;
    // Frames over 2.5 s: a phrase and a little around it.
    ParameterValues view = opened;
    view.repeatTimes =
        std::max<int32_t>(10, int32_t((2.5 * rate - opened.ssftSize) / opened.interval) + 1);
    const int64_t span = executionSize(view);
    if (span > windowLen || opened.totalSamples < windowLen)
        return slots;
    const std::string block = formatParameterBlock(view);
    const int32_t lastStart = opened.totalSamples - windowLen;
    const double freqSpan = std::max(1, opened.freqHigh - opened.freqLow);

    const int phrases = int(opened.totalSamples / rate / kPhraseEvery);
    for (int p = 0; p < phrases; ++p) {
        const double phraseStart = p * kPhraseEvery;
        const int32_t first = int32_t(std::max(0.0, phraseStart - 0.05) * rate);
        const int32_t start = std::min(first, lastStart);
        if (first - start > windowLen - span)
            break;
        MemoSlot slot;
        slot.param = memo(wxString::FromUTF8(block.c_str()), p, 0);
        slot.param->m_viewLength = windowLen;
        slot.param->m_viewStart = start;
        slot.param->m_viewCursor = first - start;

        slot.sub = memo("+", p, 0);
        slot.sub->SetMemoPrior(CArchMemo::MemoPrior(p % 3));
        slot.sub->m_relX = float(double(first) / opened.totalSamples);
        slot.sub->m_relY = overviewRow(p);

        // Where a time and a frequency sit on the voiceprint of this view.
        auto pin = [&](CArchMemo& m, double seconds, int freq) {
            m.m_relX = float(std::clamp((seconds * rate - first) / double(span), 0.0, 0.95));
            m.m_freq = freq;
            m.m_relY = float(std::clamp((opened.freqHigh - freq) / freqSpan, 0.0, 1.0));
        };
        const int syllables = int(kPhraseLength / kSyllable);
        wxString vowels;
        for (int s = 0; s < syllables; ++s)
            vowels += wxString(s ? "-" : "") + kVowels[(s + p) % 5].name;
        slot.terms.push_back(memo(wxString::Format("phrase %d: %s", p + 1, vowels), p, 0));
        pin(*slot.terms.back(), phraseStart + kPhraseLength / 2, opened.freqHigh * 3 / 4);

        int term = 1;
        for (int s : {0, 3, 6}) {
            const auto& v = kVowels[(s + p) % 5];
            const double at = phraseStart + (s + 0.2) * kSyllable;
            slot.terms.push_back(memo(wxString::Format("/%s/ F1 %d Hz", v.name, v.f1), p, term++));
            pin(*slot.terms.back(), at, v.f1);
            if (s == 3) {
                slot.terms.push_back(
                    memo(wxString::Format("/%s/ F2 %d Hz", v.name, v.f2), p, term++));
                pin(*slot.terms.back(), at, v.f2);
            }
        }
        // The pitch falls by 40 Hz over the phrase from 135, 160 or 185 Hz.
        const int topPitch = 135 + 25 * (p % 3);
        slot.terms.push_back(
            memo(wxString::Format("pitch falls %d -> %d Hz\nrises on every syllable", topPitch,
                                  topPitch - 40),
                 p, term++));
        pin(*slot.terms.back(), phraseStart + 0.1, std::max(opened.freqLow, 2500));
        slots.push_back(std::move(slot));
    }
    return slots;
}
