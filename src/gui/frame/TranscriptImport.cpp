#include <algorithm>
#include <cstdio>
#include <memory>

#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "engine/memo/TranscriptFile.h"
#include "engine/sound/CWavPara.h"

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

bool MyFrame::readTrn() {
    if (m_waveFileName.IsEmpty())
        return false;
    VOCALITH_REQUIRE(m_wavePara, "m_wavePara");
    VOCALITH_REQUIRE(m_canvasPanelSub, "m_canvasPanelSub");

    // The old list goes first, unless it is broken: then it stays for the user to see.
    if (!clearIntactMemoList())
        return false;
    // What the transcript holds is what the list holds: nothing unsaved yet. Saving asks before
    // it replaces a memo-list file (m_fileKind), so no file is watched.
    m_memoModified = false;
    m_memoOnDiskName.clear();
    m_memoBackupPending = false;

    const std::optional<wxString> trn = besideWave(".trn");
    if (!trn)
        return false;
    const wxString& trnName = *trn;
    std::unique_ptr<FILE, FileCloser> file(std::fopen(trnName.utf8_str(), "rb"));
    if (!file) {
        wxLogMessage("trn file read failed.");
        return false;
    }

    const CWavPara& wave = *m_wavePara;
    const TranscriptDefaults defaults = transcriptDefaults(wave.m_sampleFreq);
    const TranscriptWave described{wave.m_sampleFreq, wave.m_quantBit, wave.m_channelCount,
                                   wave.m_totalSamples};
    // A sound shorter than the largest window starts every view at its beginning.
    const int32_t lastViewStart = std::max<int32_t>(0, wave.m_totalSamples - 1 - wave.m_windowMax);
    const wxSize overview = m_canvasPanelSub->GetSize();
    const int wrapY = int(overview.y * 0.9);

    int ranges = 0;
    wxList* terms = nullptr;
    CArchMemo* title = nullptr;
    bool titleTextSet = false;
    std::string label;
    int nextTerm = 1;

    TranscriptLineReader reader(file.get());
    std::string raw;
    while (reader.next(raw)) {
        const std::optional<std::string> line = normaliseTranscriptLine(raw);
        if (!line)
            continue;

        TranscriptRange range;
        if (parseTranscriptRange(*line, ranges + 1, wave.m_sampleFreq, range)) {
            if (range.endSample >= wave.m_totalSamples) {
                file.reset();
                wxLogMessage("%s", "something wrong line : " + transcriptText(*line));
                wxLogMessage("%s", "quit to read " + trnName);
                return false;
            }
            int32_t start = range.startSample;
            int32_t end = range.endSample;
            if (end - start > wave.m_windowMax) {
                end = start + wave.m_windowMax;
                wxLogMessage("time range limited.");
            }
            ++ranges;
            const int titleNo = ranges - 1;
            const TranscriptFrames frames = transcriptFrames(end - start, defaults);
            if (frames.expanded)
                wxLogMessage("expand range size.");

            auto* param = new CArchMemo;
            param->m_memoText = transcriptText(transcriptParameterBlock(described, frames));
            param->m_viewLength = wave.m_windowMax;
            param->m_viewStart = std::min(start, lastViewStart);
            param->m_viewCursor = start - param->m_viewStart;
            param->m_freq = wave.m_freqHigh;
            param->m_titleNo = titleNo;
            m_paramMemoList.Append(param);

            // The group's "+" on the overview: at its place in the sound, each title a
            // quarter of the height lower, wrapping before the lowest tenth.
            auto* sub = new CArchMemo;
            sub->m_memoText = "+";
            const double where =
                double(param->m_viewStart + param->m_viewCursor) / wave.m_totalSamples;
            const int x = int(overview.x * where);
            const long long down = (long long)(titleNo * (double)overview.y * 0.25);
            const int y = wrapY > 0 ? int(down % wrapY) : 0;
            sub->m_relX = float(where);
            sub->m_relY = overview.y > 0 ? float(double(y) / overview.y) : 0.0f;
            sub->m_titleNo = titleNo;
            m_titleSubList.Append(sub);
            auto* plus = new DragShape(wxString("+"), DragShape::High);
            plus->m_pos = wxPoint(x, y);
            plus->m_titleNo = titleNo;
            m_canvasPanelSub->m_shapeList.Append(plus);

            terms = new wxList;
            title = new CArchMemo;
            title->m_memoText = "not exist label body in trn file.";
            title->m_relX = title->m_relY = 0.01f;
            title->m_freq = defaults.topFreq;
            title->m_titleNo = titleNo;
            terms->Append(title);
            m_titleTermLists.Append(terms);

            label = range.label;
            nextTerm = 1;
            titleTextSet = false;
            continue;
        }

        if (!title)
            continue; // text before the first range belongs to no group
        if (!titleTextSet) {
            title->m_memoText = transcriptText(*line + " " + label);
            label.clear();
            titleTextSet = true;
            continue;
        }
        // Terms step down the panel and the frequency axis by a tenth each.
        auto* term = new CArchMemo;
        term->m_memoText = transcriptText(*line);
        term->m_relX = 0.01f;
        term->m_relY = float(0.01 + 0.1 * nextTerm);
        term->m_freq = transcriptTermFreq(defaults.topFreq, nextTerm);
        term->m_titleNo = title->m_titleNo;
        term->m_termNo = nextTerm;
        terms->Append(term);
        ++nextTerm;
    }
    file.reset();
    wxLogMessage("%s", trnName + " : trn file read.");
    return true;
}
