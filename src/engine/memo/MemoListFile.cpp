#include "engine/memo/MemoListFile.h"

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

enum lineResult { lineOk, lineEnd, lineBroken };

// Lines up to LF with every CR dropped. A last line without its LF, or one longer than
// kMemoLineMax, is broken: the file was cut or is not a memo list.
lineResult readLine(FILE* file, std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        const int c = getc_unlocked(file);
        if (c == EOF)
            return any ? lineBroken : lineEnd;
        any = true;
        if (c == '\n')
            return lineOk;
        if (c == '\r')
            continue;
        if (line.size() >= kMemoLineMax)
            return lineBroken;
        line.push_back(char(c));
    }
}

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

class MemoReader {
public:
    explicit MemoReader(FILE* file) : m_file(file) {}

    // One record; false when its lines are not all there or a number does not parse.
    bool record(CArchMemo& memo, bool keepText) {
        if (!line())
            return false;
        if (keepText)
            memo.m_memoText = decodeText(m_line);
        if (!line())
            return false;
        memo.m_prior = fromFileBytes(unmarkLineFeeds(m_line));
        if (!integer(memo.m_viewLength) || !integer(memo.m_viewStart) ||
            !integer(memo.m_viewCursor) || !integer(memo.m_freq) || !fraction(memo.m_relX) ||
            !fraction(memo.m_relY))
            return false;
        memo.m_relX = clampRelative(memo.m_relX);
        memo.m_relY = clampRelative(memo.m_relY);
        return true;
    }

    bool line() { return readLine(m_file, m_line) == lineOk; }
    bool integer(int& value) { return line() && parseInteger(m_line, value); }
    bool fraction(float& value) { return line() && parseFraction(m_line, value); }
    const std::string& current() const { return m_line; }
    lineResult header() { return readLine(m_file, m_line); }

private:
    FILE* m_file;
    std::string m_line;
};

bool readSlot(MemoReader& in, int titleNo, MemoSlot& slot) {
    auto param = std::make_unique<CArchMemo>();
    if (!in.record(*param, true))
        return false;
    auto sub = std::make_unique<CArchMemo>();
    if (!in.record(*sub, false))
        return false;
    sub->m_memoText = "+";
    int count = 0;
    if (!in.integer(count) || count < 0)
        return false;
    // The count only bounds the loop; every record is built from lines that are there.
    for (int j = 0; j < count; ++j) {
        auto memo = std::make_unique<CArchMemo>();
        if (!in.record(*memo, true))
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

MemoListRead readMemoList(FILE* file) {
    MemoListRead result;
    if (!file)
        return result;
    MemoReader in(file);
    if (in.header() == lineEnd ||
        in.current().substr(0, kHeaderKept).find("Ver.") == std::string::npos) {
        result.result = MemoListRead::readBadHeader;
        return result;
    }
    result.result = MemoListRead::readDamaged;
    int count = 0;
    if (!in.integer(count) || count < 0)
        return result;
    for (int k = 0; k < count; ++k) {
        MemoSlot slot;
        if (!readSlot(in, k, slot))
            return result;
        result.requestedWindowLen = std::max(0, slot.param->m_viewLength);
        result.slots.push_back(std::move(slot));
    }
    result.result = MemoListRead::readOk;
    return result;
}

MemoListRead readMemoListFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
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
