#include "engine/memo/InteropDetail.h"

#include "engine/memo/CArchMemo.h"

// CSV (RFC 4180, CR LF), one row per memo; written only.

using namespace interop_detail;

namespace {

std::string pictureName(const std::string& text) {
    const std::string marker = "[ImageMemo]=";
    const size_t at = text.find(marker);
    if (at == std::string::npos)
        return std::string();
    std::string name = text.substr(at + marker.size());
    name.erase(name.find_last_not_of(" \t\r\n\f\v") + 1);
    return name;
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

} // namespace

void interop_detail::exportCsv(const std::vector<MemoSlotRef>& slots,
                               const std::vector<GroupPlace>& places, const MemoExportSound& sound,
                               MemoExport& result) {
    std::string& out = result.text;
    out = "group,title,term,priority,start,end,time,frequency,text,picture\r\n";
    for (size_t k = 0; k < slots.size(); ++k) {
        const MemoSlotRef& slot = slots[k];
        if (!complete(slot))
            continue;
        const GroupPlace& place = places[k];
        const std::string title = csvField(utf8Of(titleOf(slot)->m_memoText));
        const std::string priority = priorityName(slot.sub->GetMemoPrior());
        for (size_t j = 0; j < slot.terms.size(); ++j) {
            const CArchMemo& memo = *slot.terms[j];
            const std::string text = utf8Of(memo.m_memoText);
            out += std::to_string(k + 1) + "," + title + "," + std::to_string(j) + "," + priority;
            if (place.ok)
                out += "," + fixed6(place.start) + "," + fixed6(place.end) + "," +
                       fixed6(memoSeconds(place.stretch, memo, sound.panelWidth));
            else
                out += ",,,";
            out += "," + std::to_string(memo.m_freq) + "," + csvField(text) + "," +
                   csvField(pictureName(text)) + "\r\n";
        }
        result.groups += 1;
        result.memos += int(slot.terms.size());
    }
}
