#include "engine/memo/InteropDetail.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "engine/memo/CArchMemo.h"

// Praat TextGrids: written in the long text format, read in the long and the short one.

using namespace interop_detail;

namespace {

std::string praatString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

struct TierPoint {
    double time;
    std::string mark;
};

struct Layer {
    std::vector<size_t> groups; // slot indexes in time order
    double end = 0.0;
};

void writeIntervalTier(std::string& out, int item, const std::string& name, double xmin,
                       double xmax, const std::vector<std::pair<double, double>>& spans,
                       const std::vector<std::string>& texts) {
    // Gaps between groups are empty intervals: a tier must cover its whole range.
    std::vector<std::pair<std::pair<double, double>, std::string>> intervals;
    double at = xmin;
    for (size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].first > at)
            intervals.push_back({{at, spans[i].first}, std::string()});
        intervals.push_back({spans[i], texts[i]});
        at = spans[i].second;
    }
    if (xmax > at)
        intervals.push_back({{at, xmax}, std::string()});
    out += "    item [" + std::to_string(item) + "]:\n";
    out += "        class = \"IntervalTier\" \n";
    out += "        name = " + praatString(name) + " \n";
    out += "        xmin = " + shortest(xmin) + " \n";
    out += "        xmax = " + shortest(xmax) + " \n";
    out += "        intervals: size = " + std::to_string(intervals.size()) + " \n";
    for (size_t i = 0; i < intervals.size(); ++i) {
        out += "        intervals [" + std::to_string(i + 1) + "]:\n";
        out += "            xmin = " + shortest(intervals[i].first.first) + " \n";
        out += "            xmax = " + shortest(intervals[i].first.second) + " \n";
        out += "            text = " + praatString(intervals[i].second) + " \n";
    }
}

void writePointTier(std::string& out, int item, const std::string& name, double xmin, double xmax,
                    std::vector<TierPoint> points) {
    std::stable_sort(points.begin(), points.end(),
                     [](const TierPoint& a, const TierPoint& b) { return a.time < b.time; });
    // Praat keeps one point per time: memos at one place (say at two formants) move apart by
    // the least step a double can take, which changes no sample.
    for (size_t i = 1; i < points.size(); ++i)
        if (!(points[i].time > points[i - 1].time))
            points[i].time = std::nextafter(points[i - 1].time, HUGE_VAL);
    out += "    item [" + std::to_string(item) + "]:\n";
    out += "        class = \"TextTier\" \n";
    out += "        name = " + praatString(name) + " \n";
    out += "        xmin = " + shortest(xmin) + " \n";
    out += "        xmax = " + shortest(xmax) + " \n";
    out += "        points: size = " + std::to_string(points.size()) + " \n";
    for (size_t i = 0; i < points.size(); ++i) {
        out += "        points [" + std::to_string(i + 1) + "]:\n";
        out += "            number = " + shortest(points[i].time) + " \n";
        out += "            mark = " + praatString(points[i].mark) + " \n";
    }
}

} // namespace

void interop_detail::exportTextGrid(const std::vector<MemoSlotRef>& slots,
                                    const std::vector<GroupPlace>& places,
                                    const MemoExportSound& sound, MemoExport& result) {
    std::vector<size_t> order;
    double xmin = 0.0, xmax = 0.0;
    for (size_t k = 0; k < slots.size(); ++k) {
        if (!places[k].ok)
            continue;
        order.push_back(k);
        xmin = std::min(xmin, places[k].start);
        xmax = std::max(xmax, places[k].end);
    }
    if (sound.sampleFreq > 0 && sound.totalSamples > 0)
        xmax = std::max(xmax, double(sound.totalSamples) / sound.sampleFreq);
    if (!(xmax > xmin))
        xmax = xmin + 1.0; // an empty list still needs a range Praat accepts
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return places[a].start < places[b].start; });
    // An interval tier cannot hold overlapping intervals: groups that overlap go to the next
    // layer of tiers.
    std::vector<Layer> layers;
    for (size_t k : order) {
        auto free = std::find_if(layers.begin(), layers.end(),
                                 [&](const Layer& l) { return l.end <= places[k].start; });
        if (free == layers.end())
            free = layers.insert(layers.end(), Layer());
        free->groups.push_back(k);
        free->end = places[k].end;
    }
    if (layers.empty())
        layers.emplace_back();

    std::string& out = result.text;
    out = "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n";
    out += "xmin = " + shortest(xmin) + " \nxmax = " + shortest(xmax) + " \n";
    out += "tiers? <exists> \nsize = " + std::to_string(layers.size() * 3) + " \nitem []: \n";
    int item = 1;
    for (size_t l = 0; l < layers.size(); ++l) {
        const std::string suffix = l == 0 ? std::string() : " " + std::to_string(l + 1);
        std::vector<std::pair<double, double>> spans;
        std::vector<std::string> titles, priorities;
        std::vector<TierPoint> points;
        for (size_t k : layers[l].groups) {
            const MemoSlotRef& slot = slots[k];
            spans.push_back({places[k].start, places[k].end});
            titles.push_back(utf8Of(titleOf(slot)->m_memoText));
            priorities.push_back(priorityName(slot.sub->GetMemoPrior()));
            for (size_t j = 1; j < slot.terms.size(); ++j)
                points.push_back({memoSeconds(places[k].stretch, *slot.terms[j], sound.panelWidth),
                                  utf8Of(slot.terms[j]->m_memoText)});
            result.groups += 1;
            result.memos += int(slot.terms.size());
        }
        writeIntervalTier(out, item++, "title" + suffix, xmin, xmax, spans, titles);
        writeIntervalTier(out, item++, "priority" + suffix, xmin, xmax, spans, priorities);
        writePointTier(out, item++, "term" + suffix, xmin, xmax, std::move(points));
    }
}

namespace {

struct Token {
    enum Kind { end, number, text, flag, unclosed } kind = end;
    double value = 0.0;
    bool outOfRange = false;
    std::string str;
    int line = 0;
};

// Praat's text files are a stream of numbers, quoted texts and <flags>; everything else (the
// long format's "xmin =", "item [1]:") is a label for people and is skipped, as Praat does.
class TextGridTokens {
public:
    explicit TextGridTokens(const std::string& s) : m_s(s) {}

    Token next() {
        const size_t n = m_s.size();
        for (;;) {
            while (m_pos < n && std::isspace(static_cast<unsigned char>(m_s[m_pos]))) {
                if (m_s[m_pos] == '\n')
                    ++m_line;
                ++m_pos;
            }
            Token t;
            t.line = m_line;
            if (m_pos >= n)
                return t;
            const char c = m_s[m_pos];
            if (c == '!') {
                while (m_pos < n && m_s[m_pos] != '\n')
                    ++m_pos;
                continue;
            }
            if (c == '"') {
                ++m_pos;
                for (;;) {
                    const size_t close = m_s.find('"', m_pos);
                    if (close == std::string::npos) {
                        t.kind = Token::unclosed;
                        return t;
                    }
                    t.str.append(m_s, m_pos, close - m_pos);
                    m_line +=
                        int(std::count(m_s.begin() + long(m_pos), m_s.begin() + long(close), '\n'));
                    m_pos = close + 1;
                    if (m_pos < n && m_s[m_pos] == '"') {
                        t.str += '"';
                        ++m_pos;
                        continue;
                    }
                    t.kind = Token::text;
                    return t;
                }
            }
            const size_t from = m_pos;
            while (m_pos < n && !std::isspace(static_cast<unsigned char>(m_s[m_pos])) &&
                   m_s[m_pos] != '"')
                ++m_pos;
            if (c == '<') {
                t.kind = Token::flag;
                t.str = m_s.substr(from, m_pos - from);
                return t;
            }
            if (wholeDouble(m_s.data() + from, m_s.data() + m_pos, t.value, t.outOfRange)) {
                t.kind = Token::number;
                return t;
            }
        }
    }

private:
    const std::string& m_s;
    size_t m_pos = 0;
    int m_line = 1;
};

struct TierInterval {
    double xmin, xmax;
    std::string text;
    int line;
};

struct TierMark {
    double time;
    std::string mark;
    int line;
};

struct Tier {
    bool intervals = true;
    std::string name;
    std::vector<TierInterval> spans;
    std::vector<TierMark> marks;
};

class TextGridParser {
public:
    TextGridParser(const std::string& text, Findings& found) : m_tokens(text), m_found(found) {}

    // The tiers read before the end or the first damage.
    std::vector<Tier> parse() {
        std::vector<Tier> tiers;
        double xmin = 0.0, xmax = 0.0;
        Token t = m_tokens.next();
        if (t.kind != Token::text || t.str.compare(0, 10, "ooTextFile") != 0)
            return m_found.fail(t.line, "not a TextGrid file."), tiers;
        t = m_tokens.next();
        if (t.kind != Token::text || t.str != "TextGrid")
            return m_found.fail(t.line, "not a TextGrid file."), tiers;
        if (!number(xmin) || !number(xmax))
            return tiers;
        t = m_tokens.next();
        long long size = 0;
        if (t.kind == Token::flag && t.str == "<absent>")
            return tiers;
        if (t.kind != Token::flag || t.str != "<exists>")
            return wrong(t, "tiers expected."), tiers;
        if (!count(size))
            return tiers;
        // Nothing is reserved by a count: a tier is added only when its tokens are there.
        for (long long i = 0; i < size; ++i) {
            std::string tierClass;
            if (!text(tierClass))
                return tiers;
            if (tierClass != "IntervalTier" && tierClass != "TextTier")
                return m_found.fail(m_last, "tier class wrong."), tiers;
            tiers.emplace_back();
            Tier& tier = tiers.back();
            tier.intervals = tierClass == "IntervalTier";
            long long items = 0;
            if (!text(tier.name) || !number(xmin) || !number(xmax) || !count(items))
                return tiers;
            for (long long j = 0; j < items; ++j) {
                if (++m_items > kMemoImportItemsMax)
                    return m_found.fail(m_last, "too many memos."), tiers;
                if (tier.intervals) {
                    TierInterval span{0.0, 0.0, std::string(), 0};
                    if (!number(span.xmin))
                        return tiers;
                    span.line = m_last;
                    if (!number(span.xmax) || !text(span.text))
                        return tiers;
                    if (!(span.xmax > span.xmin))
                        return m_found.fail(span.line, "time wrong."), tiers;
                    tier.spans.push_back(std::move(span));
                } else {
                    TierMark mark{0.0, std::string(), 0};
                    if (!number(mark.time))
                        return tiers;
                    mark.line = m_last;
                    if (!text(mark.mark))
                        return tiers;
                    tier.marks.push_back(std::move(mark));
                }
            }
        }
        return tiers;
    }

private:
    void wrong(const Token& t, const char* expected) {
        if (t.kind == Token::end)
            m_found.fail(t.line, "the file ends early.");
        else if (t.kind == Token::unclosed)
            m_found.fail(t.line, "text not closed.");
        else
            m_found.fail(t.line, expected);
    }

    bool number(double& v) {
        const Token t = m_tokens.next();
        m_last = t.line;
        if (t.kind != Token::number)
            return wrong(t, "number expected."), false;
        if (t.outOfRange || !std::isfinite(t.value))
            return m_found.fail(t.line, "number wrong."), false;
        v = t.value;
        return true;
    }

    bool count(long long& n) {
        double v = 0.0;
        if (!number(v))
            return false;
        if (v < 0.0 || v > 2147483647.0 || v != std::floor(v))
            return m_found.fail(m_last, "count wrong."), false;
        n = (long long)v;
        return true;
    }

    bool text(std::string& s) {
        const Token t = m_tokens.next();
        m_last = t.line;
        if (t.kind != Token::text)
            return wrong(t, "text expected."), false;
        s = t.str;
        return true;
    }

    TextGridTokens m_tokens;
    Findings& m_found;
    int m_last = 1;
    size_t m_items = 0;
};

bool isPriorityTier(const std::string& name) {
    std::string lower = name.substr(0, 8);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower == "priority";
}

void findTextGrid(const std::vector<Tier>& tiers, Findings& found) {
    // Which group tier each priority and point tier belongs to.
    auto groupTier = [&](size_t i) { return tiers[i].intervals && !isPriorityTier(tiers[i].name); };
    std::vector<int> owner(tiers.size(), -1);
    int lastGroupTier = -1, firstGroupTier = -1;
    for (size_t i = 0; i < tiers.size(); ++i) {
        if (groupTier(i)) {
            lastGroupTier = int(i);
            if (firstGroupTier < 0)
                firstGroupTier = int(i);
        } else {
            owner[i] = lastGroupTier;
        }
    }
    for (size_t i = 0; i < tiers.size(); ++i)
        if (!tiers[i].intervals && owner[i] < 0)
            owner[i] = firstGroupTier; // points before every group tier

    std::vector<SpanIndex> priorities(tiers.size()); // by the group tier they belong to
    for (size_t p = 0; p < tiers.size(); ++p)
        if (tiers[p].intervals && owner[p] >= 0)
            for (const TierInterval& q : tiers[p].spans)
                priorities[size_t(owner[p])].add(q.xmin, q.xmax, priorityOf(q.text));
    std::vector<SpanIndex> groupsOfTier(tiers.size());
    for (size_t i = 0; i < tiers.size(); ++i) {
        if (!groupTier(i))
            continue;
        priorities[i].sort();
        for (const TierInterval& span : tiers[i].spans) {
            // The priority interval holding the middle of the group's interval.
            const int prior = priorities[i].holding(0.5 * (span.xmin + span.xmax), false);
            if (span.text.empty() && prior < 0)
                continue; // a gap between groups
            FoundGroup g;
            g.start = span.xmin;
            g.end = span.xmax;
            g.title = span.text;
            g.prior = prior < 0 ? CArchMemo::High : prior;
            g.line = span.line;
            groupsOfTier[i].add(g.start, g.end, int(found.groups.size()));
            found.groups.push_back(std::move(g));
        }
        groupsOfTier[i].sort();
    }
    for (size_t i = 0; i < tiers.size(); ++i) {
        if (tiers[i].intervals)
            continue;
        for (const TierMark& mark : tiers[i].marks) {
            FoundTerm term;
            term.time = mark.time;
            term.text = mark.mark;
            // A time on the border of two groups belongs to the one it starts.
            if (owner[i] >= 0)
                term.group = groupsOfTier[size_t(owner[i])].holding(mark.time, true);
            found.terms.push_back(std::move(term));
        }
    }
}

} // namespace

MemoImport importTextGrid(const unsigned char* data, size_t size, const MemoImportSound& sound) {
    const DecodedText decoded = decodeText(data, size);
    Findings found;
    TextGridParser parser(decoded.text, found);
    const std::vector<Tier> tiers = parser.parse();
    findTextGrid(tiers, found);
    return finish(decoded, found, sound);
}
