#include "cli/CliRun.h"
#include "engine/memo/MemoInterop.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kTotal = kRate * 20;

// Three groups analysing frames of 4096 samples every 512 (what the import chooses at 44.1 kHz)
// from viewStart + cursor, the third overlapping the first; a title memo (0.01, 7900 Hz) and
// terms with quotes, line feeds, non-ASCII text, two at one place and a picture.
std::vector<MemoSlot> sampleList() {
    auto group = [](int32_t viewStart, int32_t cursor, int32_t frames, CArchMemo::MemoPrior prior,
                    std::vector<TermMemo> terms) {
        const ParameterValues v = analysis(kRate, kTotal, 4096, 512, frames, 8000, -160.0);
        return memoGroup(formatParameterBlock(v), viewStart, cursor, prior, terms);
    };
    std::vector<MemoSlot> list;
    list.push_back(group(0, 44100, 100, CArchMemo::Mid,
                         {{"greeting, \"hi\"", 0.01f, 7900},
                          {"hello", 0.25f, 312},
                          {"two\nlines", 0.5f, 1200},
                          {"na\xC3\xAFve \xE3\x81\x82", 0.5f, 2400},
                          {"[ImageMemo]=fig.png ", 0.8f, 500}}));
    list.push_back(
        group(88200, 44100, 50, CArchMemo::Low, {{"second", 0.01f, 7900}, {"x\ty", 0.3f, 4000}}));
    list.push_back(
        group(54100, 0, 30, CArchMemo::High, {{"overlap", 0.01f, 7900}, {"o, p", 0.6f, 100}}));
    return list;
}

MemoImport importText(const std::string& text, bool textGrid, int32_t total = kTotal) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const MemoImportSound s{kRate, 16, 1, total};
    return textGrid ? importTextGrid(bytes, text.size(), s)
                    : importAudacityLabels(bytes, text.size(), s);
}

std::string exported(MemoExportFormat format, int32_t total = kTotal) {
    const std::vector<MemoSlot> list = sampleList();
    return exportMemos(memoSlotRefs(list), format, {kRate, total}).text;
}

// Each group as its priority, first sample and frames, and its memos' texts and frequencies (0
// where the format does not carry them); terms with their panel pixels and numbers (their places
// in the group unless imported). A title's place and frequency are the group's own.
std::string listed(const std::vector<MemoSlot>& slots, bool frequencies = true,
                   bool imported = true) {
    std::ostringstream out;
    for (const MemoSlot& s : slots) {
        const MemoStretch st = memoStretchOf(*s.param, 0);
        out << "\n" << s.sub->GetMemoPrior() << " " << st.start << "+" << st.repeatTimes;
        for (size_t j = 0; j < s.terms.size(); ++j) {
            const CArchMemo& t = *s.terms[j];
            out << "|" << t.m_memoText.utf8_string() << "@" << (frequencies ? t.m_freq : 0);
            if (j > 0)
                out << " " << int(t.m_relX * kMemoPanelWidth) << "#"
                    << (imported ? t.m_termNo : int(j));
        }
    }
    return out.str();
}

void expectSameList(const MemoImport& back, bool frequencies) {
    EXPECT_EQ(back.result, MemoImport::importOk) << back.message;
    EXPECT_EQ(listed(back.slots, frequencies), listed(sampleList(), frequencies, false));
}

} // namespace

TEST(MemoInterop, ExportsRoundTrip) {
    // TextGrid: the overlapping group goes to a second layer of tiers; equal times are made
    // distinct.
    std::string text = exported(MemoExportFormat::textGrid);
    for (const char* piece :
         {"name = \"title 2\"", "text = \"greeting, \"\"hi\"\"\"", "text = \"Mid\"", "size = 6 \n"})
        EXPECT_NE(text.find(piece), std::string::npos) << piece;
    expectSameList(importText(text, true), false);

    // Audacity labels keep frequencies; (44100 + 99 x 512 + 4096) / 44100 = 2.2422675...
    text = exported(MemoExportFormat::audacity);
    EXPECT_EQ(text.rfind("1.000000\t2.242268\t[Mid] greeting, \"hi\"\n"
                         "\\\t7900.000000\t7900.000000\n",
                         0),
              0u);
    EXPECT_NE(text.find("\ttwo&#xD;lines\n"), std::string::npos);
    expectSameList(importText(text, false), true);

    // CSV quotes what needs it. A header, three titles and six terms; the line feed inside a
    // text is no row.
    text = exported(MemoExportFormat::csv);
    EXPECT_EQ(text.rfind("group,title,term,priority,start,end,time,frequency,text,picture\r\n", 0),
              0u);
    for (const char* piece :
         {"\r\n1,\"greeting, \"\"hi\"\"\",0,Mid,1.000000,2.242268,", ",1200,\"two\nlines\",\r\n",
          ",500,[ImageMemo]=fig.png ,fig.png\r\n", "\r\n3,overlap,1,High,", ",100,\"o, p\",\r\n"})
        EXPECT_NE(text.find(piece), std::string::npos) << piece;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 1 + 9);

    // On a shorter sound the second group (samples 132300 to 161484) is cut at its end, or left
    // out when it starts after it: either way the TextGrid reads back.
    for (int32_t total : {150000, 120000}) {
        const MemoImport r = importText(exported(MemoExportFormat::textGrid, total), true, total);
        EXPECT_TRUE(r.result == MemoImport::importOk &&
                    r.slots.size() == (total == 150000 ? 3u : 2u))
            << r.message;
    }
}

// The TextGrid export as Praat itself reads it: tiers, intervals, points and labels.
TEST(MemoInterop, PraatReadsTheExport) {
    if (std::system("command -v praat >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "praat is not installed";
    ScratchDir dir;
    dir.file("memos.TextGrid", exported(MemoExportFormat::textGrid));
    dir.file("read.praat",
             "Read from file: \"memos.TextGrid\"\ntiers = Get number of tiers\n"
             "intervals = Get number of intervals: 1\ntitle$ = Get label of interval: 1, 2\n"
             "priority$ = Get label of interval: 2, 4\npoints = Get number of points: 3\n"
             "term$ = Get label of point: 3, 3\noverlap$ = Get label of interval: 4, 2\n"
             "writeInfoLine: tiers, \" \", intervals, \" \", points\n"
             "appendInfoLine: title$, \"|\", priority$, \"|\", term$, \"|\", overlap$\n");
    const int status =
        std::system(("cd " + dir.path() + " && praat --run read.praat > out.txt 2>&1").c_str());
    const std::string got = slurp(dir.path() + "/out.txt");
    // Five term points, the two at one place among them: Praat keeps one point per time.
    EXPECT_TRUE(status == 0 &&
                got == "6 5 5\ngreeting, \"hi\"|Low|na\xC3\xAFve \xE3\x81\x82|overlap\n")
        << got;
}

TEST(MemoInterop, DamagedTextGridsKeepWhatWasRead) {
    const std::string good = exported(MemoExportFormat::textGrid);
    // The export with one change, imported.
    auto edited = [&](const std::string& from, const std::string& to, size_t after = 0) {
        std::string t = good;
        return importText(t.replace(t.find(from, after), from.size(), to), true);
    };
    // One interval too many in the first tier: its two groups stay, the rest is lost.
    const MemoImport r = edited("intervals: size = 5", "intervals: size = 6");
    EXPECT_TRUE(r.result == MemoImport::importDamaged && r.message == "line 36 : number expected.");
    EXPECT_TRUE(r.slots.size() == 2u && r.slots[1].terms[0]->m_memoText == "second");

    // Huge numbers: a count, a time beyond a double.
    EXPECT_EQ(edited("size = 6", "size = 1e300").message, "line 7 : count wrong.");
    EXPECT_EQ(edited("xmax = 20", "xmax = 1e999").message, "line 5 : number wrong.");

    // A NUL stops the text where it is.
    EXPECT_EQ(edited("s", std::string(1, '\0'), good.find("second")).message,
              "line 30 : not text.");
}

// What was read before a damaged line is kept. A frequency of -1 is none given. A comma for
// the point (some locales), CR LF and a term with no group are read.
TEST(MemoInterop, DamagedLabelFilesKeepWhatWasRead) {
    const auto labels = [](const char* text) {
        const MemoImport r = importText(text, false);
        return std::to_string(r.result) + " " + r.message + listed(r.slots);
    };
    EXPECT_EQ(labels("1.0\t2.0\tfirst\n1.5\t1.5\tterm\n\\\t-1\t-1\nnot a label\n"),
              "2 line 4 : label line wrong.\n0 44100+79|first@7900|term@7110 495#1");
    EXPECT_EQ(labels("\\\t1\t2\n"), "2 line 1 : frequency line without a label.");
    EXPECT_EQ(labels("3\t2\tbackwards\n"), "2 line 1 : time wrong.");
    // A label's text keeps its tabs.
    EXPECT_EQ(labels("1\t2\to\tk\n1e300\t1e301\tfar\n"),
              "2 line 2 : time range beyond the sound.\n0 44100+79|o\tk@7900");
    // UTF-16 without a byte-order mark, big-endian by where its zero bytes are.
    const MemoImport be = importText(std::string("\0001\0\t\0002\0\t\0o\0k\0\n", 14), false);
    EXPECT_EQ(std::to_string(be.result) + listed(be.slots), "0\n0 44100+79|ok@7900");
    // A frequency line places its term by the frequency: 1 - 6000 / 8000 of the panel.
    EXPECT_EQ(importText("1\t2\tg\n1.5\t1.5\tt\n\\\t6000\t6000\n", false).slots[0].terms[1]->m_relY,
              0.25f);
    // Blank lines are skipped, not refused.
    const char* lost = "1,5\t2,5\t[Low] \xE3\x81\x82\r\n \t\r\n9\t9\tlost\r\n";
    EXPECT_EQ(labels(lost), "0 \n2 66150+79|\xE3\x81\x82@7900");
    EXPECT_EQ(importText(lost, false).notes,
              std::vector<std::string>{"1 term memo(s) outside memo groups."});
}
