#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "memo/CArchMemo.h"
#include "memo/MemoListFile.h"
#include "sound/ParameterBlock.h"
#include "cli/CliRun.h"
#include "support/TestWav.h"

namespace {

// One group from sample 22050 (20 frames of 4096 every 512) with a title and a term.
std::string memoList() {
    ParameterValues v;
    v.sampleFreq = 44100;
    v.quantBit = 16;
    v.totalSamples = 44100 * 3;
    v.ssftSize = 4096;
    v.interval = 512;
    v.repeatTimes = 20;
    v.noiseParameter = 0.0005f;
    v.freqHigh = 8000;
    v.dbLow = -160.0;
    std::vector<MemoSlot> slots(1);
    slots[0].param = std::make_unique<CArchMemo>();
    slots[0].param->m_memoText = wxString::FromUTF8(formatParameterBlock(v));
    slots[0].param->m_viewCursor = 22050;
    slots[0].sub = std::make_unique<CArchMemo>();
    slots[0].sub->m_memoText = "+";
    slots[0].sub->SetMemoPrior(CArchMemo::Low);
    for (const char* text : {"vowel", "a, then e"}) {
        slots[0].terms.push_back(std::make_unique<CArchMemo>());
        slots[0].terms.back()->m_memoText = text;
        slots[0].terms.back()->m_relX = 0.4f;
        slots[0].terms.back()->m_freq = 900;
    }
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    return bytes;
}

} // namespace

TEST(CliMemos, ExportAndImportThroughFiles) {
    testwav::TempFile wav(testwav::wav(std::vector<int16_t>(44100 * 3)), "talk.wav");
    testwav::TempFile vlh(memoList(), "talk.vlh");
    testwav::TempFile grid("", "talk.TextGrid");
    testwav::TempFile back("", "back.vlh");

    CliRun r = cli({"memos", "export", vlh.path, "--format", "csv", "--wav", wav.path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\r\n1,vowel,1,Low,0.500000,0.813469,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",900,\"a, then e\",\r\n"), std::string::npos);

    r = cli({"memos", "export", vlh.path, "--format", "textgrid", "-o", grid.path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + grid.path + ": 1 groups, 2 memos\n");
    EXPECT_NE(slurp(grid.path).find("text = \"vowel\""), std::string::npos);
    r = cli({"memos", "import", grid.path, "--wav", wav.path, "-o", back.path});
    ASSERT_EQ(r.status, 0) << r.err;
    const MemoListRead list = readMemoListFile(back.path);
    ASSERT_EQ(list.result, MemoListRead::readOk);
    ASSERT_EQ(list.slots.size(), 1u);
    EXPECT_EQ(list.slots[0].param->m_viewStart + list.slots[0].param->m_viewCursor, 22050);
    EXPECT_NE(list.slots[0].param->m_memoText.find("[RepeatTimes]=20 "), wxString::npos);
    EXPECT_EQ(list.slots[0].sub->GetMemoPrior(), CArchMemo::Low);
    ASSERT_EQ(list.slots[0].terms.size(), 2u);
    EXPECT_EQ(list.slots[0].terms[1]->m_memoText, "a, then e");
    EXPECT_EQ(int(list.slots[0].terms[1]->m_relX * 1000), 400);

    // A damaged file: what was read is written, the message names the line, the run fails.
    testwav::TempFile labels("0.5\t0.9\tfirst\nbroken\n", "talk.txt");
    r = cli({"memos", "import", labels.path, "--wav", wav.path, "-o", back.path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "line 2 : label line wrong.\nquit to read " + labels.path + "\n");
    EXPECT_EQ(readMemoListFile(back.path).slots.size(), 1u);

    EXPECT_EQ(cli({"memos", "import", grid.path, "-o", back.path}).status, 1);
    EXPECT_EQ(cli({"memos", "export", vlh.path, "--format", "praat"}).err.substr(0, 56),
              "vocalith-cli: --format needs textgrid, audacity or csv.\n");
}
