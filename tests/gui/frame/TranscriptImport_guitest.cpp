#include <algorithm>
#include <tuple>

#include "MemoLists.h"
#include "support/SoundFiles.h"

namespace {

class TranscriptTest : public FrameTest {
protected:
    // Writes talk.wav and talk.trn and opens the transcript as the file dialog would.
    void import(double seconds, const std::string& transcript) {
        dir.file("talk.wav", toneWav(seconds, 16000));
        trn = dir.file("talk.trn", transcript);
        frame->m_waveFileName = trn;
        frame->m_chosenFileName = "talk.trn";
        frame->readCommon();
        pumpEvents();
    }
    CArchMemo* term(size_t slot, size_t k) const { return memoAt(*frame, slot, k); }
    // A memo's text, frequency, height and term number.
    auto memo(size_t slot, size_t k) const {
        const CArchMemo* m = term(slot, k);
        return std::make_tuple(m->m_memoText, m->m_freq, m->m_relY, m->m_termNo);
    }
    // The log lines of the last opening after "<wav> read.", up to the parameter block's.
    std::vector<std::string> importLog() const {
        const auto lines = log();
        const auto read = std::find(lines.rbegin(), lines.rend(), dir.path() + "/talk.wav read.");
        if (read == lines.rend())
            return lines;
        const auto from = read.base();
        return std::vector<std::string>(from, std::find(from, lines.end(), "output parameter."));
    }

    ScratchDir dir;
    std::string trn;
};

} // namespace

TEST_F(TranscriptTest, RangesBecomeGroupsAndTextLinesTheirMemos) {
    import(3.0, "% a comment\n"
                "text before any range\n"
                "2 1.0-2.0 B\n" // out of order: a text line, and no group yet
                "1 0.0-1.0 A\r\n"
                "hello  there\n"
                "\tterm\tone \n"
                "\n"
                "1 2.0-1.0 X\n" // end before start: a text line
                "2 1.0-1.1 short\n"
                "tiny\n"
                "3 2.5-2.9 nobody\n");
    EXPECT_EQ(importLog(),
              (std::vector<std::string>{"expand range size.", trn + " : trn file read."}));
    EXPECT_EQ(frame->m_fileKind, 3);
    ASSERT_EQ((std::vector<size_t>{frame->memoSlotCount(), frame->m_paramMemoList.GetCount(),
                                   frame->m_titleSubList.GetCount(),
                                   frame->m_canvasPanelSub->m_shapeList.GetCount()}),
              std::vector<size_t>(4, 3));
    EXPECT_TRUE(frame->m_canvasPanel->m_shapeList.IsEmpty());

    // Group 0: one second at 16 kHz, (16000 - 1 - 2048) / 256 = 54 frames.
    const CArchMemo* param = frame->paramMemoAt(0);
    const std::string block = param->m_memoText.utf8_string();
    EXPECT_EQ(block.substr(0, block.find("[QuantBit]")),
              "    ///// wave file parameter /////     \n[SampleFreq]=16000 ");
    EXPECT_NE(block.find("[TotalLength]=48000 [TotalSec]=3.000000[s] \n"), std::string::npos);
    EXPECT_NE(block.find("[RepeatTimes]=54 [NoiseParameter]=0.0005000000 [ExcutionSize]=14080 "
                         "[ExcutionSec]=0.880000[s] [FreqrRnage]=[0,6000]"),
              std::string::npos);
    EXPECT_EQ(std::make_tuple(param->m_viewLength, param->m_viewStart, param->m_viewCursor),
              std::make_tuple(441000, 0, 0));
    EXPECT_TRUE(param->m_prior.empty());

    ASSERT_EQ(frame->termListAt(0)->GetCount(), 4u);
    EXPECT_FLOAT_EQ(term(0, 0)->m_relX, 0.01f);
    EXPECT_EQ(memo(0, 0), std::make_tuple(wxString("hello there A"), 5900, 0.01f, 0));
    EXPECT_EQ(memo(0, 1), std::make_tuple(wxString("term one"), 5310, 0.11f, 1));
    EXPECT_EQ(memo(0, 2), std::make_tuple(wxString(""), 4720, 0.21f, 2)); // the blank line
    EXPECT_EQ(term(0, 3)->m_memoText, "1 2.0-1.0 X");

    // Group 1: a tenth of a second gets the least frames; the sound is shorter than the
    // largest window, so every view starts at 0 and the cursor goes to the range.
    EXPECT_NE(frame->paramMemoAt(1)->m_memoText.Find("[RepeatTimes]=10 "), wxNOT_FOUND);
    EXPECT_NE(frame->paramMemoAt(1)->m_memoText.Find("[ExcutionSize]=2816 "), wxNOT_FOUND);
    EXPECT_EQ(frame->paramMemoAt(1)->m_viewStart, 0);
    EXPECT_EQ(frame->paramMemoAt(1)->m_viewCursor, 16000);
    EXPECT_EQ(term(1, 0)->m_memoText, "tiny short");
    // Group 2 has no text.
    EXPECT_EQ(term(2, 0)->m_memoText, "not exist label body in trn file.");
    EXPECT_EQ(frame->termListAt(2)->GetCount(), 1u);

    // The overview's "+" marks: at the group's place, a quarter of the height lower each.
    const wxSize size = frame->m_canvasPanelSub->GetSize();
    const int wrap = int(size.y * 0.9);
    for (int slot = 0; slot < 3; ++slot) {
        const auto* plus =
            static_cast<DragShape*>(frame->m_canvasPanelSub->m_shapeList.Item(slot)->GetData());
        const CArchMemo* sub = frame->subMemoAt(slot);
        const CArchMemo* p = frame->paramMemoAt(slot);
        const double where = (p->m_viewStart + p->m_viewCursor) / 48000.0;
        const int y = int(slot * size.y * 0.25) % wrap;
        EXPECT_EQ(plus->m_pos, wxPoint(int(size.x * where), y)) << slot;
        EXPECT_EQ(sub->m_memoText, "+");
        EXPECT_FLOAT_EQ(sub->m_relX, float(where));
        EXPECT_FLOAT_EQ(sub->m_relY, float(double(y) / size.y));
        EXPECT_EQ((std::vector<int>{plus->m_titleNo, sub->m_titleNo, p->m_titleNo,
                                    term(slot, 0)->m_titleNo}),
                  std::vector<int>(4, slot));
    }
}

TEST_F(TranscriptTest, LongRangesAreLimitedAndLateViewsClamped) {
    std::string text = "1 0.0-28.0 long\ntitle\n";
    for (int k = 1; k <= 11; ++k)
        text += "line " + std::to_string(k) + "\n";
    text += "2 29.0-29.5 late\nend"; // the last line has no LF
    import(30.0, text);
    EXPECT_EQ(importLog(),
              (std::vector<std::string>{"time range limited.", trn + " : trn file read."}));
    ASSERT_EQ(frame->memoSlotCount(), 2u);
    // Limited to the largest window: (441000 - 1 - 2048) / 256 = 1714 frames.
    EXPECT_NE(frame->paramMemoAt(0)->m_memoText.Find("[RepeatTimes]=1714 "), wxNOT_FOUND);
    ASSERT_EQ(frame->termListAt(0)->GetCount(), 12u);
    // 5900 x (1 - 1.1) would be negative
    EXPECT_EQ(memo(0, 11), std::make_tuple(wxString("line 11"), 500, 1.11f, 11));
    EXPECT_EQ(term(0, 10)->m_freq, 500);
    // A view cannot start later than 480000 - 1 - 441000 = 38999.
    EXPECT_EQ(frame->paramMemoAt(1)->m_viewStart, 38999);
    EXPECT_EQ(frame->paramMemoAt(1)->m_viewCursor, 464000 - 38999);
    EXPECT_EQ(term(1, 0)->m_memoText, "end late");
}

TEST_F(TranscriptTest, AnEndPastTheSoundStopsTheImportKeepingEarlierGroups) {
    import(3.0, "1 0.0-1.0 A\nfirst\n2  1.0-3.0\tB\nsecond\n");
    // 3.0 s is sample 48000, one past the last.
    EXPECT_EQ(importLog(), (std::vector<std::string>{"something wrong line : 2 1.0-3.0 B",
                                                     "quit to read " + trn}));
    ASSERT_EQ(frame->memoSlotCount(), 1u);
    EXPECT_EQ(frame->m_paramMemoList.GetCount(), 1u);
    EXPECT_EQ(term(0, 0)->m_memoText, "first A");

    // Opening the transcript again without its file: the old list goes, nothing replaces it.
    wxRemoveFile(trn);
    frame->m_waveFileName = trn;
    frame->m_chosenFileName = "talk.trn";
    frame->readCommon();
    EXPECT_EQ(importLog(), std::vector<std::string>{"trn file read failed."});
    EXPECT_EQ(frame->memoSlotCount(), 0u);
    EXPECT_TRUE(frame->m_canvasPanelSub->m_shapeList.IsEmpty());
}
