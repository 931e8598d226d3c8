#include "engine/memo/InteropDetail.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/memo/CArchMemo.h"

// Audacity label tracks: "start TAB end TAB label" lines, each with its frequency line.

using namespace interop_detail;

namespace {

std::string labelText(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += "&#xD;";
        else if (c == '\t')
            out += "&#x9;";
        else if (c != '\r')
            out += c;
    }
    return out;
}

} // namespace

void interop_detail::exportAudacity(const std::vector<MemoSlotRef>& slots,
                                    const std::vector<GroupPlace>& places,
                                    const MemoExportSound& sound, MemoExport& result) {
    std::string& out = result.text;
    auto frequencyLine = [&out](int freq) {
        out += "\\\t" + fixed6(freq) + "\t" + fixed6(freq) + "\n";
    };
    for (size_t k = 0; k < slots.size(); ++k) {
        if (!places[k].ok)
            continue;
        const MemoSlotRef& slot = slots[k];
        const CArchMemo& title = *titleOf(slot);
        out += fixed6(places[k].start) + "\t" + fixed6(places[k].end) + "\t[" +
               priorityName(slot.sub->GetMemoPrior()) + "] " + labelText(utf8Of(title.m_memoText)) +
               "\n";
        frequencyLine(title.m_freq);
        for (size_t j = 1; j < slot.terms.size(); ++j) {
            const std::string t =
                fixed6(memoSeconds(places[k].stretch, *slot.terms[j], sound.panelWidth));
            out += t + "\t" + t + "\t" + labelText(utf8Of(slot.terms[j]->m_memoText)) + "\n";
            frequencyLine(slot.terms[j]->m_freq);
        }
        result.groups += 1;
        result.memos += int(slot.terms.size());
    }
}

namespace {

// A time or frequency field: a decimal number; a comma stands for the point when there is no
// point (label files written under some locales have it).
bool labelNumber(std::string field, double& v) {
    field.erase(0, field.find_first_not_of(" "));
    field.erase(field.find_last_not_of(" ") + 1);
    if (field.find('.') == std::string::npos)
        std::replace(field.begin(), field.end(), ',', '.');
    bool outOfRange = false;
    return wholeDouble(field.data(), field.data() + field.size(), v, outOfRange) && !outOfRange &&
           std::isfinite(v);
}

std::string unescapeLabel(std::string s) {
    for (const auto& [token, c] : {std::pair<const char*, char>{"&#xD;", '\n'}, {"&#x9;", '\t'}}) {
        size_t at = 0;
        while ((at = s.find(token, at)) != std::string::npos) {
            s.replace(at, 5, 1, c);
            ++at;
        }
    }
    return s;
}

// Reads label lines up to the end or the first damage. termGroupsAbove receives, per term,
// the number of groups read before it.
void readLabelLines(const std::string& text, Findings& found,
                    std::vector<size_t>& termGroupsAbove) {
    struct Label {
        bool group;
        size_t index;
    };
    std::vector<Label> labels;
    bool frequencyGiven = true;
    int line = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string row = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++line;
        row.erase(std::remove(row.begin(), row.end(), '\r'), row.end());
        if (row.find_first_not_of(" \t") == std::string::npos)
            continue;
        std::vector<std::string> fields;
        size_t from = 0;
        for (int i = 0; i < 2; ++i) {
            const size_t tab = row.find('\t', from);
            if (tab == std::string::npos)
                break;
            fields.push_back(row.substr(from, tab - from));
            from = tab + 1;
        }
        fields.push_back(row.substr(from)); // the label keeps any further TABs

        if (row[0] == '\\') {
            double low = 0.0, high = 0.0;
            if (labels.empty() || frequencyGiven)
                return found.fail(line, "frequency line without a label.");
            if (fields.size() != 3 || fields[0] != "\\" || !labelNumber(fields[1], low) ||
                !labelNumber(fields[2], high))
                return found.fail(line, "frequency line wrong.");
            frequencyGiven = true;
            const double f = usableFreq(low) ? low : high;
            if (!usableFreq(f))
                continue; // "no frequency", as -1 says
            const Label& last = labels.back();
            bool& has =
                last.group ? found.groups[last.index].hasFreq : found.terms[last.index].hasFreq;
            double& value =
                last.group ? found.groups[last.index].freq : found.terms[last.index].freq;
            has = true;
            value = f;
            continue;
        }
        if (labels.size() >= kMemoImportItemsMax)
            return found.fail(line, "too many memos.");
        double start = 0.0, end = 0.0;
        if (fields.size() < 2 || !labelNumber(fields[0], start) || !labelNumber(fields[1], end))
            return found.fail(line, "label line wrong.");
        if (end < start)
            return found.fail(line, "time wrong.");
        const std::string label = fields.size() > 2 ? unescapeLabel(fields[2]) : std::string();
        frequencyGiven = false;
        if (end > start) {
            FoundGroup g;
            g.start = start;
            g.end = end;
            g.title = label;
            g.line = line;
            for (int prior : {CArchMemo::High, CArchMemo::Mid, CArchMemo::Low}) {
                const std::string tag = std::string("[") + priorityName(prior) + "]";
                if (label == tag || label.compare(0, tag.size() + 1, tag + " ") == 0) {
                    g.prior = prior;
                    g.title = label.substr(std::min(label.size(), tag.size() + 1));
                    break;
                }
            }
            labels.push_back({true, found.groups.size()});
            found.groups.push_back(std::move(g));
        } else {
            FoundTerm term;
            term.time = start;
            term.text = label;
            labels.push_back({false, found.terms.size()});
            termGroupsAbove.push_back(found.groups.size());
            found.terms.push_back(std::move(term));
        }
    }
}

void findLabels(const std::string& text, Findings& found) {
    std::vector<size_t> termGroupsAbove;
    readLabelLines(text, found, termGroupsAbove);
    // Each term goes to the last group above it when that holds its time (so a label track
    // written by the export keeps every term with its group), else to the latest-starting group
    // that holds it.
    SpanIndex groups;
    for (size_t g = 0; g < found.groups.size(); ++g)
        groups.add(found.groups[g].start, found.groups[g].end, int(g));
    groups.sort();
    for (size_t i = 0; i < found.terms.size(); ++i) {
        FoundTerm& term = found.terms[i];
        const size_t above = termGroupsAbove[i];
        if (above > 0 && found.groups[above - 1].start <= term.time &&
            term.time <= found.groups[above - 1].end)
            term.group = int(above - 1);
        else
            term.group = groups.holding(term.time, true);
    }
}

} // namespace

MemoImport importAudacityLabels(const unsigned char* data, size_t size,
                                const MemoImportSound& sound) {
    const DecodedText decoded = decodeText(data, size);
    Findings found;
    findLabels(decoded.text, found);
    return finish(decoded, found, sound);
}
