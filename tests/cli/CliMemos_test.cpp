#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "engine/memo/MemoListFile.h"
#include "support/TestWav.h"

// One group from sample 22050 (20 frames of 4096 every 512) with a title and a term, through
// every memos command and its failures.
TEST(CliMemos, ExportAndImportThroughFiles) {
    testwav::TempFile wav(testwav::wav(std::vector<int16_t>(44100 * 3)), "talk.wav");
    testwav::TempFile vlh(oneGroupList(analysis(44100, 44100 * 3, 4096, 512, 20, 8000, -160.0),
                                       22050, CArchMemo::Low, {"vowel", "a, then e"}, 0.4f, 900),
                          "talk.vlh");
    testwav::TempFile grid("", "talk.TextGrid");
    testwav::TempFile back("", "back.vlh");

    CliRun r = cli({"memos", "export", vlh.path, "--format", "csv", "--wav", wav.path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\r\n1,vowel,1,Low,0.500000,0.813469,"), std::string::npos) << r.out;

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
    EXPECT_EQ(list.slots[0].terms.size(), 2u);

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
