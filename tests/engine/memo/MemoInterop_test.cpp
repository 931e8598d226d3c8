#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "engine/memo/CArchMemo.h"
#include "engine/memo/MemoInterop.h"
#include "engine/sound/ParameterBlock.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kTotal = kRate * 20;

std::unique_ptr<CArchMemo> memo(const wxString& text, float relX, int freq) {
    auto m = std::make_unique<CArchMemo>();
    m->m_memoText = text;
    m->m_relX = relX;
    m->m_relY = 0.3f;
    m->m_freq = freq;
    return m;
}

// A group analysing T frames of 4096 samples every 512 (what the import chooses at 44.1 kHz)
// from s0 = viewStart + cursor.
MemoSlot group(int32_t viewStart, int32_t cursor, int32_t frames, CArchMemo::MemoPrior prior,
               const wxString& title) {
    ParameterValues v;
    v.sampleFreq = kRate;
    v.quantBit = 16;
    v.totalSamples = kTotal;
    v.ssftSize = 4096;
    v.interval = 512;
    v.repeatTimes = frames;
    v.noiseParameter = 0.0005f;
    v.freqHigh = 8000;
    v.dbLow = -160.0;
    MemoSlot s;
    s.param = std::make_unique<CArchMemo>();
    s.param->m_memoText = wxString::FromUTF8(formatParameterBlock(v));
    s.param->m_viewStart = viewStart;
    s.param->m_viewCursor = cursor;
    s.param->m_viewLength = 441000;
    s.sub = std::make_unique<CArchMemo>();
    s.sub->m_memoText = "+";
    s.sub->SetMemoPrior(prior);
    s.terms.push_back(memo(title, 0.01f, 7900));
    return s;
}

// Three groups, the third overlapping the first; terms with quotes, line feeds, non-ASCII
// text, two at one place and a picture.
std::vector<MemoSlot> sampleList() {
    std::vector<MemoSlot> list;
    list.push_back(group(0, 44100, 100, CArchMemo::Mid, "greeting, \"hi\""));
    list[0].terms.push_back(memo("hello", 0.25f, 312));
    list[0].terms.push_back(memo("two\nlines", 0.5f, 1200));
    list[0].terms.push_back(memo(wxString::FromUTF8("na\xC3\xAFve \xE3\x81\x82"), 0.5f, 2400));
    list[0].terms.push_back(memo("[ImageMemo]=fig.png ", 0.8f, 500));
    list.push_back(group(88200, 44100, 50, CArchMemo::Low, "second"));
    list[1].terms.push_back(memo("x\ty", 0.3f, 4000));
    list.push_back(group(54100, 0, 30, CArchMemo::High, "overlap"));
    list[2].terms.push_back(memo("o", 0.6f, 100));
    return list;
}

MemoImportSound importSound() {
    MemoImportSound s;
    s.sampleFreq = kRate;
    s.totalSamples = kTotal;
    return s;
}

MemoImport importText(const std::string& text, bool textGrid) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    return textGrid ? importTextGrid(bytes, text.size(), importSound())
                    : importAudacityLabels(bytes, text.size(), importSound());
}

std::string exported(MemoExportFormat format) {
    const std::vector<MemoSlot> list = sampleList();
    MemoExportSound sound;
    sound.sampleFreq = kRate;
    sound.totalSamples = kTotal;
    return exportMemos(memoSlotRefs(list), format, sound).text;
}

int pixel(float relX) {
    return int(relX * kMemoPanelWidth);
}

// Groups, texts, priorities, stretches and term pixels as they were; frequencies too when the
// format carries them.
void expectSameList(const std::vector<MemoSlot>& back, bool frequencies) {
    const std::vector<MemoSlot> list = sampleList();
    ASSERT_EQ(back.size(), list.size());
    for (size_t k = 0; k < list.size(); ++k) {
        SCOPED_TRACE(k);
        const MemoStretch was = memoStretchOf(*list[k].param, 0);
        const MemoStretch is = memoStretchOf(*back[k].param, 0);
        ASSERT_TRUE(is.ok);
        EXPECT_EQ(std::make_tuple(is.start, is.executionSize, is.repeatTimes),
                  std::make_tuple(was.start, was.executionSize, was.repeatTimes));
        EXPECT_EQ(back[k].sub->GetMemoPrior(), list[k].sub->GetMemoPrior());
        ASSERT_EQ(back[k].terms.size(), list[k].terms.size());
        for (size_t j = 0; j < list[k].terms.size(); ++j) {
            const CArchMemo &is = *back[k].terms[j], &was = *list[k].terms[j];
            EXPECT_EQ(is.m_memoText, was.m_memoText);
            if (j == 0)
                continue; // a title's place and frequency are the group's own
            EXPECT_EQ(std::make_tuple(pixel(is.m_relX), is.m_termNo, frequencies ? is.m_freq : 0),
                      std::make_tuple(pixel(was.m_relX), int(j), frequencies ? was.m_freq : 0));
        }
    }
}

std::string asciiOnly(const std::string& text) {
    std::string out;
    for (char c : text)
        out += (c & 0x80) ? '?' : c;
    return out;
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

int lineOf(const std::string& text, const std::string& piece, size_t from = 0) {
    const size_t at = text.find(piece, from);
    return at == std::string::npos
               ? -1
               : 1 + int(std::count(text.begin(), text.begin() + long(at), '\n'));
}

} // namespace

TEST(MemoInterop, PictureColumnsMapToFrameMiddles) {
    // W = 1004: plot 1000 wide, T x I = 51200 of 55296 samples -> 925 columns from x = 39.
    const std::vector<MemoSlot> list = sampleList();
    const MemoStretch s = memoStretchOf(*list[0].param, 0);
    ASSERT_TRUE(s.ok);
    auto at = [&](int px) { return memoSampleAt(s, (px + 0.5f) / 1004, 1004); };
    EXPECT_EQ(at(39), 44100 + 2048); // first column: the first frame's middle
    EXPECT_EQ(at(39 + 925), 44100 + 2048 + 51200);
    EXPECT_EQ(at(0), 44100);            // left of the stretch: its first sample
    EXPECT_EQ(at(1003), 44100 + 54783); // right of it: its last
    EXPECT_FLOAT_EQ(memoRelXAt(s, 44100 + 2048, 1004), 39.5f / 1004);
    EXPECT_FLOAT_EQ(memoRelXAt(s, 44100 + 2048 + 51200, 1004), 964.5f / 1004);
}

TEST(MemoInterop, TextGridRoundTrip) {
    const std::string text = exported(MemoExportFormat::textGrid);
    // The overlapping group goes to a second layer of tiers; equal times are made distinct.
    EXPECT_NE(text.find("name = \"title 2\""), std::string::npos);
    EXPECT_NE(text.find("text = \"greeting, \"\"hi\"\"\""), std::string::npos);
    EXPECT_NE(text.find("text = \"Mid\""), std::string::npos);
    EXPECT_NE(text.find("size = 6 \n"), std::string::npos);
    const MemoImport back = importText(text, true);
    EXPECT_EQ(back.result, MemoImport::importOk) << back.message;
    expectSameList(back.slots, false);
    // UTF-16 either way round reads the same.
    for (bool big : {false, true}) {
        const MemoImport wide = importText(utf16(asciiOnly(text), big), true);
        EXPECT_EQ(wide.result, MemoImport::importOk) << wide.message;
        EXPECT_EQ(wide.slots.size(), 3u);
    }
}

TEST(MemoInterop, AudacityRoundTripKeepsFrequencies) {
    const std::string text = exported(MemoExportFormat::audacity);
    // (44100 + 99 x 512 + 4096) / 44100 = 2.2422675...
    const std::string first = "1.000000\t2.242268\t[Mid] greeting, \"hi\"\n"
                              "\\\t7900.000000\t7900.000000\n";
    EXPECT_EQ(text.substr(0, first.size()), first);
    EXPECT_NE(text.find("\ttwo&#xD;lines\n"), std::string::npos);
    EXPECT_NE(text.find("\tx&#x9;y\n"), std::string::npos);
    const MemoImport back = importText(text, false);
    EXPECT_EQ(back.result, MemoImport::importOk) << back.message;
    expectSameList(back.slots, true);
}

TEST(MemoInterop, CsvQuotesWhatNeedsIt) {
    const std::string text = exported(MemoExportFormat::csv);
    const std::string header =
        "group,title,term,priority,start,end,time,frequency,text,picture\r\n";
    EXPECT_EQ(text.substr(0, header.size()), header);
    EXPECT_NE(text.find("\r\n1,\"greeting, \"\"hi\"\"\",0,Mid,1.000000,2.242268,"),
              std::string::npos);
    EXPECT_NE(text.find(",1200,\"two\nlines\",\r\n"), std::string::npos);
    EXPECT_NE(text.find(",500,[ImageMemo]=fig.png ,fig.png\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n3,overlap,1,High,"), std::string::npos);
    // A header, three titles and six terms; the line feed inside a text is no row.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 1 + 9);
}

TEST(MemoInterop, DamagedTextGridsKeepWhatWasRead) {
    const std::string good = exported(MemoExportFormat::textGrid);
    // Every cut of the file: no crash, a message naming a line that exists, whole slots only.
    for (size_t cut = 0; cut < good.size(); cut += 37) {
        const std::string part = good.substr(0, cut);
        const MemoImport r = importText(part, true);
        const int lines = 1 + int(std::count(part.begin(), part.end(), '\n'));
        ASSERT_EQ(r.result, MemoImport::importDamaged) << cut;
        ASSERT_LE(r.line, lines) << r.message;
        ASSERT_LE(r.slots.size(), 3u);
        ASSERT_EQ(checkTextGridImport(reinterpret_cast<const uint8_t*>(part.data()), part.size()),
                  "");
    }

    auto edited = [&](const std::string& from, const std::string& to, size_t after = 0) {
        std::string t = good;
        return t.replace(t.find(from, after), from.size(), to);
    };
    // One interval too many in the first tier: its two groups stay, the rest is lost.
    const std::string more = edited("intervals: size = 5", "intervals: size = 6");
    MemoImport r = importText(more, true);
    EXPECT_EQ(r.result, MemoImport::importDamaged);
    EXPECT_EQ(r.message,
              "line " + std::to_string(lineOf(more, "item [2]:") + 1) + " : number expected.");
    ASSERT_EQ(r.slots.size(), 2u);
    EXPECT_EQ(r.slots[1].terms[0]->m_memoText, "second");

    // Huge numbers: a count, a time beyond a double, a time beyond the sound.
    EXPECT_EQ(importText(edited("size = 6", "size = 1e300"), true).message,
              "line 7 : count wrong.");
    EXPECT_EQ(importText(edited("xmax = 20", "xmax = 1e999"), true).message,
              "line 5 : number wrong.");
    const size_t end = good.find("xmax = ", good.find("xmin = 3 \n")) + 7; // the second group's
    const std::string beyond = edited(good.substr(end, good.find(' ', end) - end), "1e300", end);
    r = importText(beyond, true);
    EXPECT_EQ(r.message, "line " + std::to_string(lineOf(beyond, "xmin = 3 \n")) +
                             " : time range beyond the sound.");
    EXPECT_EQ(r.slots.size(), 1u);

    // Encodings: a lone surrogate and a NUL stop the text where they are; Latin-1 is read.
    const std::string ascii = asciiOnly(good);
    std::string broken = utf16(ascii, false);
    const size_t second16 = broken.find(std::string("s\0e\0c\0o\0n\0d\0", 12));
    broken.replace(second16, 2, std::string("\x00\xD8", 2));
    r = importText(broken, true);
    EXPECT_EQ(r.message,
              "line " + std::to_string(lineOf(ascii, "\"second\"")) + " : not UTF-16 text.");
    EXPECT_EQ(r.slots.size(), 1u);
    EXPECT_EQ(importText(edited("s", std::string(1, '\0'), good.find("second")), true).message,
              "line " + std::to_string(lineOf(good, "\"second\"")) + " : not text.");
    r = importText(edited("second", "caf\xE9"), true);
    ASSERT_EQ(r.slots.size(), 3u);
    EXPECT_EQ(r.slots[1].terms[0]->m_memoText.utf8_string(), "caf\xC3\xA9");
}

TEST(MemoInterop, ShortTextGridAndForeignTiers) {
    // Praat's short format; a phone tier without priorities, points before any interval tier.
    const std::string text =
        "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n0\n2\n"
        "<exists>\n2\n\"TextTier\"\n\"marks\"\n0\n2\n2\n0.5\n\"m1\"\n1.9\n\"m2\"\n"
        "\"IntervalTier\"\n\"phones\"\n0\n2\n3\n0\n1\n\"a\"\n1\n1.5\n\"\"\n1.5\n2\n"
        "\"b \"\"c\"\"\"\n";
    const MemoImport r = importText(text, true);
    EXPECT_EQ(r.result, MemoImport::importOk) << r.message;
    ASSERT_EQ(r.slots.size(), 2u);
    EXPECT_EQ(r.slots[1].terms[0]->m_memoText, "b \"c\"");
    EXPECT_EQ(r.slots[0].sub->GetMemoPrior(), CArchMemo::High);
    ASSERT_EQ(r.slots[0].terms.size(), 2u);
    EXPECT_EQ(r.slots[0].terms[1]->m_memoText, "m1");
    EXPECT_EQ(r.slots[0].terms[1]->m_freq, 7110); // a transcript term's step below 7900
    EXPECT_EQ(r.slots[1].terms[1]->m_memoText, "m2");
    // 1 s: (44100 - 4096) / 512 + 1 = 79 frames fit
    EXPECT_EQ(memoStretchOf(*r.slots[0].param, 0).repeatTimes, 79);
}

TEST(MemoInterop, DamagedLabelFilesKeepWhatWasRead) {
    MemoImport r = importText("1.0\t2.0\tfirst\n1.5\t1.5\tterm\n\\\t-1\t-1\nnot a label\n", false);
    EXPECT_EQ(r.message, "line 4 : label line wrong.");
    ASSERT_EQ(r.slots.size(), 1u);
    ASSERT_EQ(r.slots[0].terms.size(), 2u);
    EXPECT_EQ(r.slots[0].terms[1]->m_freq, 7110); // -1: no frequency given
    EXPECT_EQ(importText("\\\t1\t2\n", false).message, "line 1 : frequency line without a label.");
    EXPECT_EQ(importText("3\t2\tbackwards\n", false).message, "line 1 : time wrong.");
    r = importText("1\t2\tok\n1e300\t1e301\tfar\n", false);
    EXPECT_EQ(r.message, "line 2 : time range beyond the sound.");
    EXPECT_EQ(r.slots.size(), 1u);
    // A comma for the point (some locales), CR LF, a term with no group.
    r = importText("1,5\t2,5\t[Low] \xE3\x81\x82\r\n9\t9\tlost\r\n", false);
    EXPECT_EQ(r.result, MemoImport::importOk);
    ASSERT_EQ(r.slots.size(), 1u);
    EXPECT_EQ(r.slots[0].sub->GetMemoPrior(), CArchMemo::Low);
    EXPECT_EQ(r.slots[0].terms[0]->m_memoText.utf8_string(), "\xE3\x81\x82");
    EXPECT_EQ(r.notes, std::vector<std::string>{"1 term memo(s) outside memo groups."});
    EXPECT_EQ(checkAudacityImport(reinterpret_cast<const uint8_t*>("0\t1\t\n\\\t9e99\t1\n"), 15),
              "");
}

TEST(MemoInterop, PraatReadsTheExport) {
    if (std::system("command -v praat >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "praat is not installed";
    const std::string dir = "/tmp/vocalith-praat-" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    std::ofstream(dir + "/memos.TextGrid") << exported(MemoExportFormat::textGrid);
    std::ofstream(dir + "/read.praat")
        << "Read from file: \"memos.TextGrid\"\ntiers = Get number of tiers\n"
           "intervals = Get number of intervals: 1\ntitle$ = Get label of interval: 1, 2\n"
           "priority$ = Get label of interval: 2, 4\npoints = Get number of points: 3\n"
           "term$ = Get label of point: 3, 3\noverlap$ = Get label of interval: 4, 2\n"
           "writeInfoLine: tiers, \" \", intervals, \" \", points\n"
           "appendInfoLine: title$, \"|\", priority$, \"|\", term$, \"|\", overlap$\n";
    const int status =
        std::system(("cd " + dir + " && praat --run read.praat > out.txt 2>&1").c_str());
    std::ifstream in(dir + "/out.txt");
    const std::string got((std::istreambuf_iterator<char>(in)), {});
    (void)std::system(("rm -rf " + dir).c_str());
    ASSERT_EQ(status, 0) << got;
    // Five term points, the two at one place among them: Praat keeps one point per time.
    EXPECT_EQ(got, "6 5 5\ngreeting, \"hi\"|Low|na\xC3\xAFve \xE3\x81\x82|overlap\n");
}
