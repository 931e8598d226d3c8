#include <algorithm>
#include <cmath>
#include <cstring>

#include "FuzzChecks.h"
#include "FuzzSupport.h"
#include "engine/memo/MemoListFile.h"

namespace fuzz::memo_list {
namespace {

MemoListRead readBytes(const uint8_t* data, size_t size) {
    FILE* file = memoryStream(data, size);
    MemoListRead r = readMemoList(file);
    if (file)
        std::fclose(file);
    return r;
}

// Line 1 as the reader keeps it (CRs dropped, up to the first LF) must show "Ver." within its
// first 20 characters; an empty input has no line 1.
bool headerAccepted(const uint8_t* data, size_t size) {
    std::string kept;
    for (size_t i = 0; i < size && data[i] != '\n' && kept.size() < 20; ++i)
        if (data[i] != '\r')
            kept += char(data[i]);
    return size > 0 && kept.find("Ver.") != std::string::npos;
}

// What every result must look like: complete slots numbered in order, damaged lines in order.
std::string checkShape(const MemoListRead& r) {
    for (size_t k = 0; k < r.slots.size(); ++k) {
        const MemoSlot& slot = r.slots[k];
        if (!slot.param || !slot.sub)
            return broken("slot %zu without its param or sub memo", k);
        if (slot.param->m_titleNo != int(k) || slot.sub->m_titleNo != int(k) ||
            slot.sub->m_memoText != "+")
            return broken("slot %zu: title numbers %d and %d", k, slot.param->m_titleNo,
                          slot.sub->m_titleNo);
        for (size_t j = 0; j < slot.terms.size(); ++j) {
            const CArchMemo* m = slot.terms[j].get();
            if (!m || m->m_titleNo != int(k) || m->m_termNo != int(j))
                return broken("slot %zu, term %zu missing or misnumbered", k, j);
        }
    }
    if (!std::is_sorted(r.damagedLines.begin(), r.damagedLines.end()) ||
        (!r.damagedLines.empty() && r.damagedLines.front() < 2))
        return "damaged lines out of order";
    if (r.keptWhole && (r.result != MemoListRead::readOk || !r.damagedLines.empty()))
        return "a damaged list said to be kept whole";
    const int32_t requested = r.slots.empty() ? 0 : std::max(0, r.slots.back().param->m_viewLength);
    if (r.requestedWindowLen != requested)
        return broken("requested window %d, last param memo says %d", r.requestedWindowLen,
                      requested);
    return std::string();
}

std::string sameRecord(const CArchMemo& a, const CArchMemo& b, size_t slot, const char* which) {
    if (a.m_memoText != b.m_memoText)
        return broken("slot %zu, %s: text \"%s\" read back as \"%s\"", slot, which,
                      utf8Of(a.m_memoText).c_str(), utf8Of(b.m_memoText).c_str());
    if (a.m_prior != b.m_prior)
        return broken("slot %zu, %s: priority \"%s\" read back as \"%s\"", slot, which,
                      utf8Of(a.m_prior).c_str(), utf8Of(b.m_prior).c_str());
    if (a.m_viewLength != b.m_viewLength || a.m_viewStart != b.m_viewStart ||
        a.m_viewCursor != b.m_viewCursor || a.m_freq != b.m_freq)
        return broken("slot %zu, %s: numbers changed", slot, which);
    // Fractions are written with six decimals, so only the written text must agree (the
    // second write below compares it).
    return std::string();
}

} // namespace

std::string check(const uint8_t* data, size_t size) {
    const MemoListRead first = readBytes(data, size);
    const bool header = headerAccepted(data, size);
    if ((first.result == MemoListRead::readBadHeader) == header ||
        first.result == MemoListRead::readOpenFailed)
        return broken("result %d for a header that is %s", int(first.result),
                      header ? "good" : "bad");
    if (first.result == MemoListRead::readBadHeader && !first.slots.empty())
        return "slots from a file with a bad header";
    if (std::string b = checkShape(first); !b.empty())
        return b;
    if (first.result != MemoListRead::readOk)
        return std::string();

    // Accepted completely: what it was read as must survive a save and a read unchanged, and
    // a second save must give the same bytes.
    std::string written;
    if (!formatMemoList(memoSlotRefs(first.slots), written))
        return "a list read completely does not write completely";
    const MemoListRead second =
        readBytes(reinterpret_cast<const uint8_t*>(written.data()), written.size());
    if (second.result != MemoListRead::readOk || !second.keptWhole ||
        second.slots.size() != first.slots.size())
        return broken("the written list reads with result %d and %zu slots, not %zu",
                      int(second.result), second.slots.size(), first.slots.size());
    for (size_t k = 0; k < first.slots.size(); ++k) {
        const MemoSlot& a = first.slots[k];
        const MemoSlot& b = second.slots[k];
        if (a.terms.size() != b.terms.size())
            return broken("slot %zu: %zu terms read back as %zu", k, a.terms.size(),
                          b.terms.size());
        std::string diff = sameRecord(*a.param, *b.param, k, "param memo");
        if (diff.empty())
            diff = sameRecord(*a.sub, *b.sub, k, "sub memo");
        for (size_t j = 0; diff.empty() && j < a.terms.size(); ++j)
            diff = sameRecord(*a.terms[j], *b.terms[j], k, "term");
        if (!diff.empty())
            return diff;
    }
    std::string rewritten;
    if (!formatMemoList(memoSlotRefs(second.slots), rewritten) || rewritten != written)
        return broken("the second save differs from the first (%zu and %zu bytes)", written.size(),
                      rewritten.size());
    return std::string();
}

} // namespace fuzz::memo_list
