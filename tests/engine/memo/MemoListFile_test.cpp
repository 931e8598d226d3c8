#include "cli/CliRun.h"

namespace {

std::unique_ptr<CArchMemo> record(const char* text, const char* prior, int length, int start,
                                  int cursor, int freq, float x, float y) {
    auto m = memoRecord(text, x, freq);
    m->m_prior = prior;
    m->m_viewLength = length;
    m->m_viewStart = start;
    m->m_viewCursor = cursor;
    m->m_relY = y;
    return m;
}

std::string format(const std::vector<MemoSlot>& slots) {
    std::string out;
    EXPECT_TRUE(formatMemoList(memoSlotRefs(slots), out));
    return out;
}

MemoListRead parse(const std::string& bytes) {
    // fmemopen refuses a size of 0.
    FILE* f = bytes.empty() ? std::tmpfile()
                            : fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    MemoListRead r = readMemoList(f);
    std::fclose(f);
    return r;
}

// The group of the file format's example, with a two-line param text.
MemoSlot exampleSlot() {
    MemoSlot s;
    s.param = record("[SsftSize]=4096\n[Interval]=512", "", 4410, 88200, 2205, 0, 0, 0);
    s.sub = record("+", "1", 0, 0, 0, 0, 0.4f, 0);
    s.terms.push_back(record("greeting", "", 0, 0, 0, 312, 0.25f, 0.3f));
    s.terms.push_back(record("hello", "", 0, 0, 0, 120, 0.5f, 0.72f));
    return s;
}

const char* const kExample = "Ver. 2.51\r\n1\r\n"
                             "[SsftSize]=4096&#xD;[Interval]=512\r\n\r\n4410\r\n88200\r\n2205\r\n"
                             "0\r\n0.000000\r\n0.000000\r\n"
                             "+\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0.400000\r\n0.000000\r\n"
                             "2\r\n"
                             "greeting\r\n\r\n0\r\n0\r\n0\r\n312\r\n0.250000\r\n0.300000\r\n"
                             "hello\r\n\r\n0\r\n0\r\n0\r\n120\r\n0.500000\r\n0.720000\r\n";

} // namespace

TEST(MemoListFile, ExampleRoundTripsByteForByteKeepingTexts) {
    std::vector<MemoSlot> slots;
    slots.push_back(exampleSlot());
    slots[0].terms[0]->m_titleNo = slots[0].terms[1]->m_titleNo = 7;
    slots[0].terms[1]->m_termNo = 5; // gaps left by deletions are not stored
    ASSERT_EQ(format(slots), kExample);
    ASSERT_EQ(format({}), "Ver. 2.51\r\n0\r\n");

    // Writing what was read gives the file again (the records are numbered afresh as they are
    // read: the fuzz replay checks that on every list).
    const MemoListRead r = parse(kExample);
    ASSERT_TRUE(r.result == MemoListRead::readOk && r.slots.size() == 1u);
    EXPECT_EQ(format(r.slots), kExample);

    // Texts keep their line feeds (a CR before one is dropped).
    slots[0].terms[1]->m_memoText = "first line\nsecond\r\nthird";
    const std::string bytes = format(slots);
    EXPECT_NE(bytes.find("\r\nfirst line&#xD;second\r&#xD;third\r\n"), std::string::npos);
    const MemoListRead texts = parse(bytes);
    ASSERT_EQ(texts.result, MemoListRead::readOk);
    EXPECT_EQ(texts.slots[0].terms[1]->m_memoText, "first line\nsecond\nthird");

    // Shift-JIS texts with half-width katakana read as such and are written back unchanged, so
    // Japanese goes out as CP932.
    std::string kana = kExample;
    kana.replace(kana.find("greeting"), 8, "\xB1\xB2\xB3");  // ｱｲｳ
    kana.replace(kana.find("hello"), 5, "\x82\xA0\xB1\xB2"); // あｱｲ
    const MemoListRead k = parse(kana);
    ASSERT_EQ(k.result, MemoListRead::readOk);
    EXPECT_EQ(k.slots[0].terms[0]->m_memoText + "|" + k.slots[0].terms[1]->m_memoText,
              wxString::FromUTF8("\xEF\xBD\xB1\xEF\xBD\xB2\xEF\xBD\xB3|"
                                 "\xE3\x81\x82\xEF\xBD\xB1\xEF\xBD\xB2"));
    EXPECT_TRUE(k.keptWhole && format(k.slots) == kana);

    // "Ver." must begin within the first twenty characters.
    const std::string body = std::string(kExample).substr(9);
    EXPECT_EQ(parse("0123456789012345Ver." + body).result, MemoListRead::readOk);
    EXPECT_EQ(parse("01234567890123456Ver." + body).result, MemoListRead::readBadHeader);
}

TEST(MemoListFile, DamagedFilesKeepOnlyCompleteSlots) {
    // A place read from a damaged list never leaves the panel, NaN included.
    EXPECT_EQ(std::make_tuple(clampRelative(NAN), clampRelative(-0.5f), clampRelative(1.5f),
                              clampRelative(0.25f)),
              std::make_tuple(0.0f, 0.0f, 1.0f, 0.25f));
    std::vector<MemoSlot> slots;
    for (int k = 0; k < 3; ++k) {
        slots.push_back(exampleSlot());
        slots.back().param->m_viewLength = 1000 + k;
    }
    const std::string bytes = format(slots);
    // Slot k ends with line 2 + 33 (k + 1): 8 + 8 + 1 + 2 x 8 lines a slot.
    std::vector<size_t> slotEnd;
    for (size_t i = 0, lines = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n' && ++lines > 2 && (lines - 2) % 33 == 0)
            slotEnd.push_back(i + 1);
    ASSERT_EQ(slotEnd.size(), 3u);
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const MemoListRead r = parse(bytes.substr(0, cut));
        const size_t complete =
            std::count_if(slotEnd.begin(), slotEnd.end(), [&](size_t end) { return end <= cut; });
        ASSERT_EQ(r.slots.size(), complete) << "cut at " << cut;
        ASSERT_EQ(r.result, cut == bytes.size() ? MemoListRead::readOk
                            : cut < 4           ? MemoListRead::readBadHeader
                                                : MemoListRead::readDamaged)
            << "cut at " << cut;
        EXPECT_EQ(r.requestedWindowLen, complete ? int(999 + complete) : 0);
    }

    // A count beyond the data only bounds the loop. A number that does not parse or fit reads
    // as 0 and costs nothing more; its line is named (slot 1's view length is line 38). A
    // damaged count of slots reads to the end; of records, up to where the next slot (or the
    // end, in the last slot) begins.
    auto edited = [&](const char* from, const char* to, size_t after = 0) {
        std::string b = bytes;
        return parse(b.replace(b.find(from, after), strlen(from), to));
    };
    EXPECT_EQ(edited("\r\n3\r\n", "\r\n2147483647\r\n").slots.size(), 3u);
    const size_t count0 = bytes.find("\r\n2\r\ngreeting"),
                 count2 = bytes.rfind("\r\n2\r\ngreeting");
    for (auto [from, to, at, line] : {std::make_tuple("1001", "abc", slotEnd[0], 38),
                                      {"1001", "", slotEnd[0], 38},
                                      {"1001", "99999999999", slotEnd[0], 38},
                                      {"\r\n3\r\n", "\r\nx\r\n", 0, 2},
                                      {"\r\n3\r\n", "\r\n-1\r\n", 0, 2},
                                      {"\r\n2\r\ngreeting", "\r\n-\r\ngreeting", count0, 19},
                                      {"\r\n2\r\ngreeting", "\r\n?\r\ngreeting", count2, 85}}) {
        const MemoListRead r = edited(from, to, at);
        EXPECT_TRUE(r.result == MemoListRead::readOk && r.slots.size() == 3u && !r.keptWhole &&
                    r.slots[2].terms.size() == 2u && r.damagedLines == std::vector<int>{line})
            << to << line;
    }

    // The longest line read is kMemoLineMax characters; one more and the list ends there.
    for (size_t extra : {0, 1}) {
        const std::string line = std::string(kMemoLineMax - 4 + extra, ' ') + "1001";
        EXPECT_EQ(edited("1001", line.c_str(), slotEnd[0]).slots.size(), extra ? 1u : 3u) << extra;
    }

    // Numbers are read as "%ld" would read them; such a list is read but not kept whole.
    std::string loose = kExample;
    const MemoListRead r = parse(loose.replace(loose.find("312"), 3, "  +312 Hz"));
    EXPECT_TRUE(r.result == MemoListRead::readOk && !r.keptWhole &&
                r.slots[0].terms[0]->m_freq == 312);
}
