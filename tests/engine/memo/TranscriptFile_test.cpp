#include "cli/CliRun.h"
#include "engine/memo/TranscriptFile.h"

// How lines are cut (LF ends one, a form feed the text, a byte-order mark is skipped) and which
// are comments the fuzz replay checks against the bytes of its inputs; here what a line becomes.
TEST(TranscriptFile, LinesNormalise) {
    const auto normalised = [](const std::string& raw) {
        return normaliseTranscriptLine(raw).value_or("<comment>");
    };
    EXPECT_EQ(normalised("\t 1\t\t0.0-1.0  A   B \r"), "1 0.0-1.0 A B");
    EXPECT_EQ(normalised("\xE3\x80\x80x\xE3\x80\x80\xE3\x80\x80y\xE3\x81\x82"),
              "x y\xE3\x81\x82");                                           // UTF-8 U+3000
    EXPECT_EQ(normalised("\x82\xA0\x81\x40\x82\xA2"), "\x82\xA0 \x82\xA2"); // CP932 0x81 0x40
    // 0x81 as the second byte of a CP932 character before "@" is no full-width space.
    EXPECT_EQ(normalised("\x82\x81@"), "\x82\x81@");
}

TEST(TranscriptFile, RangeLineRules) {
    TranscriptRange r;
    const auto got = [&] { return std::make_tuple(r.startSample, r.endSample, r.label); };
    ASSERT_TRUE(parseTranscriptRange("1 0.0-1.0 A", 1, 16000, r));
    EXPECT_EQ(got(), std::make_tuple(0, 16000, std::string("A")));
    ASSERT_TRUE(parseTranscriptRange("3 0.25-1.5 two words", 3, 44100, r));
    EXPECT_EQ(got(), std::make_tuple(11025, 66150, std::string("two words")));

    // Each of these is a text line.
    for (const char* line :
         {"2 1.0-2.0 B", "1 2.0-1.0 A", "1 1.0-1.0 A", "1 1.0-2.0", "1 1.0-2.0 ", "1 -1.0-2.0 A",
          "x 0-1 A", "1 0-1-2 A", "1 0-1e300 A", "1 0-nan A", "1 0-inf A", "1 nan-1 A",
          "1 0-134218 A", "1 0.0 1.0 A", "1 0x1-2 A", "1 0-1x A"})
        EXPECT_FALSE(parseTranscriptRange(line, 1, 16000, r)) << line;
    // The last second whose end still fits a 32-bit sample position.
    EXPECT_TRUE(parseTranscriptRange("1 0-134217 A", 1, 16000, r));
    EXPECT_EQ(r.endSample, 2147472000);
}

TEST(TranscriptFile, FramesParameterBlockTermsAndTexts) {
    const TranscriptDefaults low = transcriptDefaults(16000), high = transcriptDefaults(22050);
    EXPECT_EQ(std::make_tuple(low.ssftSize, low.interval, low.topFreq, high.ssftSize, high.interval,
                              high.topFreq),
              std::make_tuple(2048, 256, 5900, 4096, 512, 7900));
    const auto frames = [&](int32_t samples) {
        const TranscriptFrames f = transcriptFrames(samples, low);
        return std::make_tuple(f.repeatTimes, f.expanded, f.executionSize);
    };
    // (16000 - 1 - 2048) / 256 frames; 9 are widened to 10.
    EXPECT_EQ(frames(16000), std::make_tuple(54, false, int64_t(14080)));
    EXPECT_EQ(frames(2048 + 1 + 2304), std::make_tuple(10, true, int64_t(2816)));
    EXPECT_EQ(frames(2048 + 1 + 2560), std::make_tuple(10, false, int64_t(2816)));

    EXPECT_EQ(transcriptParameterBlock({16000, 16, 1, 40000}, transcriptFrames(16000, low)),
              "    ///// wave file parameter /////     \n"
              "[SampleFreq]=16000 [QuantBit]=16 [ChannelCount]=1 [TotalLength]=40000 "
              "[TotalSec]=2.500000[s] \n"
              "     ///// execution parameter /////     \n"
              "[SsftSize]=2048 [SsftSec]=0.047[s] [Interval]=256 [RepeatTimes]=54 "
              "[NoiseParameter]=0.0005000000 [ExcutionSize]=14080 [ExcutionSec]=0.880000[s] "
              "[FreqrRnage]=[0,6000] [dBRnage]=[-130.0,0.0]");

    // Terms step down from the top (checked through the imports); 0 Hz would leave the plot.
    EXPECT_EQ(std::make_pair(transcriptTermFreq(5900, 10), transcriptTermFreq(5900, 11)),
              std::make_pair(500, 500));
    EXPECT_EQ(transcriptText("\x82\xA0 A"), wxString::FromUTF8("\xE3\x81\x82 A")); // CP932
}

// Lines: a comment and stray text (skipped), a range longer than the window (cut), its text
// and two terms, a range shorter than ten frames (widened) with no text, and a range that
// reaches the last sample (damage): the groups before it are kept.
TEST(TranscriptFile, ImportMakesTheWindowsGroups) {
    const std::string trn =
        "% note\nstray\n1 0.5-2.0 A\nhello\nt1\nt2\n2 2.25-2.3 B\n3 2.3-2.5 C\n";
    MemoImportSound sound{16000, 16, 1, 40000, 20000};
    const auto* bytes = reinterpret_cast<const unsigned char*>(trn.data());
    const MemoImport r = importTranscript(bytes, trn.size(), sound);
    EXPECT_EQ(std::make_tuple(int(r.result), r.message, r.line, r.notes),
              std::make_tuple(
                  int(MemoImport::importDamaged), std::string("something wrong line : 3 2.3-2.5 C"),
                  8, std::vector<std::string>{"time range limited.", "expand range size."}));
    ASSERT_EQ(r.slots.size(), 2u);
    const CArchMemo &p0 = *r.slots[0].param, &p1 = *r.slots[1].param;
    EXPECT_EQ(p0.m_memoText,
              transcriptText(transcriptParameterBlock(
                  {16000, 16, 1, 40000}, transcriptFrames(20000, transcriptDefaults(16000)))));
    // Views as late as the sound allows: 40000 - 1 - 20000.
    EXPECT_EQ(std::make_tuple(p0.m_viewStart, p0.m_viewCursor, p0.m_viewLength, p0.m_freq,
                              p1.m_viewStart, p1.m_viewCursor, p1.m_titleNo),
              std::make_tuple(8000, 0, 20000, 6000, 19999, 16001, 1));
    EXPECT_EQ(std::make_tuple(r.slots[0].sub->m_relX, r.slots[0].sub->m_relY,
                              r.slots[1].sub->m_relX, r.slots[1].sub->m_relY),
              std::make_tuple(0.2f, 0.0f, 0.9f, 0.25f));
    std::vector<std::tuple<wxString, float, int, int>> terms;
    for (const MemoSlot& slot : r.slots)
        for (const auto& m : slot.terms)
            terms.emplace_back(m->m_memoText, m->m_relY, m->m_freq,
                               m->m_titleNo * 10 + m->m_termNo);
    EXPECT_EQ(terms, (std::vector<std::tuple<wxString, float, int, int>>{
                         {"hello A", 0.01f, 5900, 0},
                         {"t1", float(0.01 + 0.1), 5310, 1},
                         {"t2", float(0.01 + 0.2), 4720, 2},
                         {"not exist label body in trn file.", 0.01f, 5900, 10}}));
    sound.sampleFreq = 0;
    EXPECT_EQ(importTranscript(bytes, trn.size(), sound).result, MemoImport::importOpenFailed);
}
