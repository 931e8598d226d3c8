#include "engine/memo/MemoListFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/sound/TextEncoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

const char* const kMemoListVersion = "Ver. 2.51";

namespace {

const char* const kLineFeedMark = "&#xD;";
const size_t kLineFeedMarkLength = 5;
const size_t kHeaderKept = 20; // characters of line 1 searched for "Ver."

// ---- Writing

void appendLine(std::string& out, const char* data, size_t length) {
    out.append(data, length);
    out += "\r\n";
}

void appendLine(std::string& out, const std::string& text) {
    appendLine(out, text.data(), text.size());
}

void appendInteger(std::string& out, int value) {
    char buf[16];
    const auto end = std::to_chars(buf, buf + sizeof buf, long(value)).ptr;
    appendLine(out, buf, size_t(end - buf));
}

// "%f" of the float widened to double, but with a point whatever the locale says.
void appendFraction(std::string& out, float value) {
    char buf[64]; // the largest float takes 47 characters this way
    const auto r = std::to_chars(buf, buf + sizeof buf, double(value), std::chars_format::fixed, 6);
    appendLine(out, buf, r.ec == std::errc() ? size_t(r.ptr - buf) : 0);
}

wxString markLineFeeds(const wxString& text) {
    wxString marked = text;
    marked.Replace("\n", kLineFeedMark);
    return marked;
}

void appendRecord(std::string& out, const CArchMemo& memo) {
    appendLine(out, encodeMemoText(markLineFeeds(memo.m_memoText)));
    // utf8_str() may point into the string, so the string must outlive the buffer.
    const wxString prior = markLineFeeds(memo.m_prior);
    const wxScopedCharBuffer bytes = prior.utf8_str();
    appendLine(out, bytes.data(), bytes.length());
    appendInteger(out, memo.m_viewLength);
    appendInteger(out, memo.m_viewStart);
    appendInteger(out, memo.m_viewCursor);
    appendInteger(out, memo.m_freq);
    appendFraction(out, memo.m_relX);
    appendFraction(out, memo.m_relY);
}

// ---- Reading

// The file's lines, up to LF with every CR dropped, as places in its bytes (a long list holds
// many short lines). A last line without its LF, or one longer than kMemoLineMax, is broken:
// the file was cut or is not a memo list, and the lines end before it.
class MemoLines {
public:
    explicit MemoLines(const std::string& bytes) : m_bytes(bytes) {
        size_t start = 0, kept = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\n') {
                m_lines.push_back({start, i});
                start = i + 1;
                kept = 0;
            } else if (c != '\r' && ++kept > kMemoLineMax) {
                return;
            }
        }
    }
    size_t count() const { return m_lines.size(); }
    std::string at(size_t i) const {
        std::string line;
        line.reserve(m_lines[i].second - m_lines[i].first);
        for (size_t k = m_lines[i].first; k < m_lines[i].second; ++k)
            if (m_bytes[k] != '\r')
                line.push_back(m_bytes[k]);
        return line;
    }

private:
    const std::string& m_bytes;
    std::vector<std::pair<size_t, size_t>> m_lines;
};

const char* skipBlanks(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\v' || *p == '\f'))
        ++p;
    if (p < end && *p == '+' && p + 1 < end && p[1] != '-')
        ++p;
    return p;
}

bool parseInteger(const std::string& line, int& value) {
    const char* end = line.data() + line.size();
    long long v = 0;
    const auto r = std::from_chars(skipBlanks(line.data(), end), end, v);
    if (r.ec != std::errc() || v < std::numeric_limits<int>::min() ||
        v > std::numeric_limits<int>::max())
        return false;
    value = int(v);
    return true;
}

bool parseFraction(const std::string& line, float& value) {
    const char* end = line.data() + line.size();
    float v = 0.0f;
    const auto r = std::from_chars(skipBlanks(line.data(), end), end, v);
    // Out of a float's range: "%f" gives infinity or 0, which the clamp below handles.
    if (r.ec == std::errc::result_out_of_range) {
        value = 0.0f;
        return true;
    }
    if (r.ec != std::errc())
        return false;
    value = v;
    return true;
}

std::string unmarkLineFeeds(std::string bytes) {
    size_t at = 0;
    while ((at = bytes.find(kLineFeedMark, at)) != std::string::npos) {
        bytes.replace(at, kLineFeedMarkLength, "\n");
        ++at;
    }
    return bytes;
}

// UTF-8 as it is; bytes that are not UTF-8 one character per byte, so nothing is dropped.
wxString fromFileBytes(const std::string& bytes) {
    return textFromLineBytes(bytes.data(), bytes.size());
}

wxString decodeText(const std::string& line) {
    const std::string bytes = unmarkLineFeeds(line);
    if (GetCharset(bytes.data(), int(bytes.size())) == charsetShiftJis)
        return convANSItoUTF8(bytes.data(), unsigned(bytes.size()));
    return fromFileBytes(bytes);
}

// Builds slots from the lines. A number that does not parse (or does not fit) reads as 0 and
// its line is noted, so one damaged line costs one value, not the groups after it.
class MemoParser {
public:
    MemoParser(const MemoLines& lines, MemoListRead& result) : m_lines(lines), m_result(result) {}

    void parse() {
        m_result.result = MemoListRead::readDamaged;
        if (m_lines.count() < 2)
            return;
        int stated = 0;
        const bool known = number(0, stated) && stated >= 0;
        if (!known)
            m_result.damagedLines.push_back(2);
        m_next = 1;
        for (int k = 0; known ? k < stated : left() > 0; ++k) {
            MemoSlot slot;
            if (!readSlot(k, known && k + 1 == stated, !known, slot))
                return;
            m_result.requestedWindowLen = std::max(0, slot.param->m_viewLength);
            m_result.slots.push_back(std::move(slot));
        }
        m_result.result = MemoListRead::readOk;
    }

private:
    // Line i of the file after the header (line i + 2 counted from 1).
    bool number(size_t i, int& value) const { return parseInteger(m_lines.at(1 + i), value); }
    size_t left() const { return m_lines.count() - 1 - m_next; }

    int integer() {
        int value = 0;
        if (!number(m_next, value))
            damaged(value);
        ++m_next;
        return value;
    }
    float fraction() {
        float value = 0.0f;
        if (!parseFraction(m_lines.at(1 + m_next), value))
            damaged(value);
        ++m_next;
        return value;
    }
    template <typename T> void damaged(T& value) {
        value = 0;
        m_result.damagedLines.push_back(int(m_next + 2));
    }

    // One record; false when its eight lines are not all there.
    bool record(CArchMemo& memo, bool keepText) {
        if (left() < 8)
            return false;
        if (keepText)
            memo.m_memoText = decodeText(m_lines.at(1 + m_next));
        memo.m_prior = fromFileBytes(unmarkLineFeeds(m_lines.at(2 + m_next)));
        m_next += 2;
        memo.m_viewLength = integer();
        memo.m_viewStart = integer();
        memo.m_viewCursor = integer();
        memo.m_freq = integer();
        memo.m_relX = fraction();
        memo.m_relY = fraction();
        return true;
    }

    // Whether a slot can begin at line i: the numbers of its two first records and its count
    // all parse.
    bool slotStartsAt(size_t i) const {
        if (i + 17 > m_lines.count() - 1)
            return false;
        int n = 0;
        float f = 0.0f;
        for (size_t r : {i, i + 8})
            for (size_t j = 2; j < 8; ++j)
                if (!(j < 6 ? number(r + j, n) : parseFraction(m_lines.at(1 + r + j), f)))
                    return false;
        return number(i + 16, n) && n >= 0;
    }

    // A damaged count of records: the smallest that lets the next slot begin where one can, or,
    // for the last slot, that takes the records up to the end of the file. -1 when none does.
    int guessCount(bool last, bool maybeLast) const {
        for (size_t m = 0; 8 * m <= left(); ++m) {
            const size_t at = m_next + 8 * m;
            if ((last || maybeLast) && 8 * m == left())
                return int(m);
            if (!last && slotStartsAt(at))
                return int(m);
        }
        return -1;
    }

    bool readSlot(int titleNo, bool last, bool maybeLast, MemoSlot& slot) {
        auto param = std::make_unique<CArchMemo>();
        auto sub = std::make_unique<CArchMemo>();
        if (!record(*param, true) || !record(*sub, false) || left() < 1)
            return false;
        sub->m_memoText = "+";
        int count = 0;
        if (!number(m_next, count) || count < 0) {
            m_result.damagedLines.push_back(int(m_next + 2));
            ++m_next;
            count = guessCount(last, maybeLast);
            if (count < 0)
                return false;
        } else {
            ++m_next;
        }
        // The count only bounds the loop; every record is built from lines that are there.
        for (int j = 0; j < count; ++j) {
            auto memo = std::make_unique<CArchMemo>();
            if (!record(*memo, true))
                return false;
            memo->m_titleNo = titleNo;
            memo->m_termNo = j;
            slot.terms.push_back(std::move(memo));
        }
        param->m_titleNo = titleNo;
        sub->m_titleNo = titleNo;
        slot.param = std::move(param);
        slot.sub = std::move(sub);
        return true;
    }

    const MemoLines& m_lines;
    MemoListRead& m_result;
    size_t m_next = 0; // the next line, counted from the one after the header
};

} // namespace

std::vector<MemoSlotRef> memoSlotRefs(const std::vector<MemoSlot>& slots) {
    std::vector<MemoSlotRef> refs(slots.size());
    for (size_t k = 0; k < slots.size(); ++k) {
        refs[k].param = slots[k].param.get();
        refs[k].sub = slots[k].sub.get();
        refs[k].terms.reserve(slots[k].terms.size());
        for (const auto& memo : slots[k].terms)
            refs[k].terms.push_back(memo.get());
    }
    return refs;
}

bool formatMemoList(const std::vector<MemoSlotRef>& slots, std::string& out) {
    out.clear();
    // Eight short lines a record plus its text; a guess that saves most reallocations.
    size_t records = 0;
    for (const MemoSlotRef& slot : slots)
        records += 2 + slot.terms.size();
    out.reserve(64 + records * 160);
    appendLine(out, std::string(kMemoListVersion));
    appendInteger(out, int(slots.size()));
    bool complete = true;
    for (const MemoSlotRef& slot : slots) {
        if (slot.param)
            appendRecord(out, *slot.param);
        if (slot.sub)
            appendRecord(out, *slot.sub);
        complete = complete && slot.param && slot.sub && slot.hasTermList;
        if (!slot.hasTermList)
            continue;
        appendInteger(out, int(slot.terms.size()));
        for (const CArchMemo* memo : slot.terms) {
            if (memo)
                appendRecord(out, *memo);
            complete = complete && memo;
        }
    }
    return complete;
}

void memolist_detail::setFileCalls(const FileCalls* calls) {
    outputfile_detail::setFileCalls(calls);
}

resultMemoSave replaceFileContents(const std::string& path, const std::string& bytes,
                                   std::string& temporaryPath) {
    // A folder in the list's place still gets the list kept beside it, named for the user.
    switch (writeOutputFile(path, bytes, temporaryPath, true)) {
    case COutputFile::outputOk:
        return memoSaveOk;
    case COutputFile::outputKeptTemporary:
        return memoSaveKeptTemporary;
    default:
        return memoSaveFailed;
    }
}

MemoListRead readMemoListBytes(const std::string& bytes) {
    MemoListRead result;
    // Line 1 as far as it goes, even without its LF: "Ver." must begin in its first characters.
    std::string header;
    for (size_t i = 0; i < bytes.size() && bytes[i] != '\n' && header.size() < kHeaderKept; ++i)
        if (bytes[i] != '\r')
            header.push_back(bytes[i]);
    if (bytes.empty() || header.find("Ver.") == std::string::npos) {
        result.result = MemoListRead::readBadHeader;
        return result;
    }
    const MemoLines lines(bytes);
    MemoParser(lines, result).parse();
    if (result.result == MemoListRead::readOk && result.damagedLines.empty()) {
        std::string again;
        result.keptWhole = formatMemoList(memoSlotRefs(result.slots), again) && again == bytes;
    }
    return result;
}

MemoListRead readMemoList(FILE* file) {
    MemoListRead result;
    if (!file)
        return result;
    std::string bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0)
        bytes.append(buf, n);
    return readMemoListBytes(bytes);
}

MemoListRead readMemoListFile(const std::string& path) {
    // A folder or a named pipe in the list's place cannot be opened as a list (a pipe would
    // block the reader).
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    FILE* file = nullptr;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !(file = fdopen(fd, "rb"))))
        close(fd);
    if (!file)
        return MemoListRead();
    MemoListRead result = readMemoList(file);
    std::fclose(file);
    return result;
}

float clampRelative(float value) {
    if (std::isnan(value))
        return 0.0f;
    return std::clamp(value, 0.0f, 1.0f);
}

MemoView fitMemoView(int32_t viewStart, int32_t viewCursor, int32_t totalSamples, int32_t windowLen,
                     int32_t cursorRange) {
    const int64_t lastStart = std::max<int64_t>(0, int64_t(totalSamples) - windowLen);
    const int64_t lastCursor = std::max<int32_t>(0, cursorRange);
    const int64_t start = std::clamp<int64_t>(viewStart, 0, lastStart);
    // Where the stretch was meant to begin in the sound, kept when the start had to move.
    const int64_t cursor =
        std::clamp<int64_t>(int64_t(viewStart) + viewCursor - start, 0, lastCursor);
    MemoView view;
    view.start = int32_t(start);
    view.cursor = int32_t(cursor);
    view.exact = view.start == viewStart && view.cursor == viewCursor;
    return view;
}
