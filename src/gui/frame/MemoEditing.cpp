#include <algorithm>
#include <climits>
#include <cmath>
#include <set>

#include <wx/textdlg.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/render/LabelPlacement.h"
#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "engine/sound/CWavPara.h"

namespace {

const char kImageTag[] = "[ImageMemo]=";
const char kImageTitle[] = "Create by Vocalith for ImageMemo";

const char kMemoEmpty[] = "memo empty.";
const char kListWrong[] = "memo list wrong.";
const char kNotFound[] = "memo not found.";
const char kInternalError[] = "memo list uncorrect ( internal error ).";

// Positions come from clicks, panel sizes and files: a zero-sized panel or a damaged file
// must not turn into NaN, infinite or off-panel pixels.
float unitFraction(double value) {
    if (!std::isfinite(value))
        return 0.0f;
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

float fractionOf(double part, double whole) {
    return whole > 0.0 ? unitFraction(part / whole) : 0.0f;
}

// Float arithmetic, as the fraction is stored: a click stored as x / w comes back at x
// far more often than through double.
int toPixel(int size, float fraction) {
    return static_cast<int>(static_cast<float>(size) * unitFraction(fraction));
}

// The frequency a memo at a height of the voiceprint stands for.
int freqAt(const CWavPara& wave, float relY) {
    return static_cast<int>(static_cast<float>(wave.m_freqLow) +
                            static_cast<float>(wave.m_freqHigh - wave.m_freqLow) * (1.0f - relY));
}

CArchMemo* recordOf(wxObject* item) {
    return static_cast<CArchMemo*>(item);
}

const CArchMemo* titleMemoOf(const wxList* terms) {
    if (!terms || terms->IsEmpty())
        return nullptr;
    return static_cast<const CArchMemo*>(terms->GetFirst()->GetData());
}

// New groups follow the last slot's title. After slots were moved or sorted that number
// may be taken already, and two groups sharing one would be found and deleted together:
// then one more than the largest number in use.
int newTitleNumber(const MemoTermLists& lists) {
    if (lists.IsEmpty())
        return 0;
    std::set<long long> used;
    const CArchMemo* last = nullptr;
    for (const wxList* terms : lists) {
        last = titleMemoOf(terms);
        if (last)
            used.insert(last->m_titleNo);
    }
    long long candidate = last ? last->m_titleNo + 1LL : -1;
    if (candidate >= 0 && candidate <= INT_MAX && !used.count(candidate))
        return static_cast<int>(candidate);
    candidate = used.empty() ? 0 : std::max(*used.rbegin() + 1, 0LL);
    if (candidate <= INT_MAX)
        return static_cast<int>(candidate);
    candidate = 0;
    while (used.count(candidate))
        ++candidate;
    return static_cast<int>(candidate);
}

// Successive groups step down a quarter of the overview and wrap before its lowest tenth.
int overviewRow(int title, int height) {
    const auto step = static_cast<long long>(title * static_cast<double>(height) * 0.25);
    const auto wrap = static_cast<int>(height * 0.9);
    if (wrap <= 0 || step < 0)
        return 0;
    return static_cast<int>(step % wrap);
}

// The last slot whose sub-memo carries the title, or -1; `broken` when a slot has no record.
int lastSubSlot(const wxList& subs, int title, bool* broken) {
    int found = -1;
    int slot = 0;
    *broken = false;
    for (wxObject* item : subs) {
        const CArchMemo* sub = recordOf(item);
        if (!sub)
            *broken = true;
        else if (sub->m_titleNo == title)
            found = slot;
        ++slot;
    }
    return found;
}

DragShape* textShape(const wxString& text, DragShape::DispPrior prior, wxPoint pos, int title,
                     int term) {
    auto* shape = new DragShape(text, prior);
    shape->m_pos = pos;
    shape->m_titleNo = title;
    shape->m_termNo = term;
    return shape;
}

// The node keeps its place in the list, so the slot order is not disturbed.
void replaceShape(myCanvasPanel& panel, wxList::compatibility_iterator node, DragShape* fresh) {
    auto* old = static_cast<DragShape*>(node->GetData());
    panel.forgetShape(old);
    node->SetData(fresh);
    delete old;
}

template <typename Matches> bool removeShapes(myCanvasPanel& panel, Matches matches) {
    bool found = false;
    for (auto node = panel.shapes().GetFirst(); node;) {
        auto next = node->GetNext();
        auto* shape = static_cast<DragShape*>(node->GetData());
        if (shape && matches(*shape)) {
            panel.forgetShape(shape);
            panel.shapes().DeleteNode(node);
            delete shape;
            found = true;
        }
        node = next;
    }
    return found;
}

bool removeRecordsOf(wxList& list, int title) {
    bool found = false;
    for (auto node = list.GetFirst(); node;) {
        auto next = node->GetNext();
        CArchMemo* memo = recordOf(node->GetData());
        if (memo && memo->m_titleNo == title) {
            list.DeleteNode(node);
            delete memo;
            found = true;
        }
        node = next;
    }
    return found;
}

} // namespace

bool MyFrame::slotsAligned() const {
    return m_memos.aligned(m_canvasPanelSub->shapes().GetCount());
}

void MyFrame::moveSlot(size_t from, size_t to) {
    m_memos.moveSlot(from, to);
    wxList& marks = m_canvasPanelSub->shapes();
    auto node = marks.Item(from);
    wxObject* mark = node->GetData();
    marks.DeleteNode(node);
    marks.Insert(to, mark);
}

void MyFrame::deleteGroup(int title) {
    bool termsFound = false;
    for (auto node = m_memos.termLists().GetFirst(); node;) {
        auto next = node->GetNext();
        wxList* terms = node->GetData();
        const CArchMemo* titleMemo = titleMemoOf(terms);
        if (titleMemo && titleMemo->m_titleNo == title) {
            for (wxObject* item : *terms)
                delete item;
            delete terms;
            m_memos.termLists().DeleteNode(node);
            termsFound = true;
        }
        node = next;
    }
    m_canvasPanel->ClearShapes();
    const bool subFound = removeRecordsOf(m_memos.subs(), title);
    const bool markFound = removeShapes(
        *m_canvasPanelSub, [title](const DragShape& shape) { return shape.m_titleNo == title; });
    const bool paramFound = removeRecordsOf(m_memos.params(), title);
    if (termsFound || subFound || paramFound)
        memoEdited();

    for (bool found : {termsFound, subFound, markFound, paramFound})
        if (!found)
            wxLogMessage(kNotFound);
    if (termsFound != subFound || termsFound != markFound || termsFound != paramFound)
        wxLogMessage(kInternalError);
    m_curTitle = -1;
}

void MyFrame::deleteTerm(int title, int term) {
    bool recordFound = false;
    const int slot = m_memos.slotOfTitle(title);
    wxList* terms = slot < 0 ? nullptr : m_memos.termsAt(slot);
    if (terms && terms->GetCount() > 1) {
        // The title memo stands for the group and goes only with it.
        for (auto node = terms->GetFirst()->GetNext(); node;) {
            auto next = node->GetNext();
            CArchMemo* memo = recordOf(node->GetData());
            if (memo && memo->m_termNo == term) {
                terms->DeleteNode(node);
                delete memo;
                recordFound = true;
            }
            node = next;
        }
    }
    const bool shapeFound = removeShapes(*m_canvasPanel, [title, term](const DragShape& shape) {
        return shape.m_termNo == term && shape.m_titleNo == title;
    });
    if (recordFound)
        memoEdited();
    if (!recordFound)
        wxLogMessage(kNotFound);
    if (!shapeFound)
        wxLogMessage(kNotFound);
    if (recordFound != shapeFound)
        wxLogMessage(kInternalError);
}

int MyFrame::groupSlot(int title) const {
    if (m_memos.subs().IsEmpty())
        return -1;
    bool broken = false;
    const int slot = lastSubSlot(m_memos.subs(), title, &broken);
    if (broken)
        wxLogMessage(kListWrong);
    else if (slot < 0)
        wxLogMessage(kNotFound);
    return broken ? -1 : slot;
}

void MyFrame::moveGroup(int title, bool first) {
    const int slot = groupSlot(title);
    if (slot < 0)
        return;
    // Moving some of the four lists and not the others would pair groups with the wrong
    // records: a list that disagrees is reported and left alone.
    if (!slotsAligned()) {
        wxLogMessage(kListWrong);
        return;
    }
    moveSlot(slot, first ? 0 : m_memos.subs().GetCount() - 1);
    memoEdited();
    Refresh(true);
    Update();
    wxLogMessage(first ? "move memo to list first." : "move memo to list last.");
}

bool MyFrame::mayRun(Action action) const {
    switch (action) {
    case Action::anytime:
        return true;
    case Action::editMemos:
    case Action::analyse:
        return !m_tourRunning;
    case Action::navigate:
    case Action::compute:
    case Action::replaceList:
        return !m_tourRunning && !m_voiceprintRunning;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Adding

void MyFrame::addMemo(int x, int y, wxString text) {
    if (!mayRun(Action::editMemos))
        return;
    if (text.IsEmpty()) {
        wxLogMessage(kMemoEmpty);
        return;
    }
    if (m_curTitle < 0) {
        wxLogMessage("%s", text + " : " + "add memo as title.");
        if (!text.StartsWith(kImageTag)) {
            addTitle(text, x, y);
        } else {
            // A picture cannot be a title: it goes under a title made for it.
            addTitle(kImageTitle, 5, 5);
            addTerm(text, x, y);
        }
    } else {
        wxLogMessage("%s", text + " : " + "already title exist, add memo as term.");
        addTerm(text, x, y);
    }
    Refresh(true);
    Update();
}

void MyFrame::addTitle(const wxString& text, int x, int y) {
    if (text.IsEmpty()) {
        wxLogMessage(kMemoEmpty);
        return;
    }
    const CWavPara& wave = *m_sound.wave();
    const wxSize size = m_canvasPanel->GetSize();
    const int title = newTitleNumber(m_memos.termLists());

    auto* terms = new wxList;
    auto* memo = new CArchMemo;
    memo->m_memoText = text;
    memo->m_titleNo = title;
    memo->m_termNo = 0;
    memo->m_relX = fractionOf(x, size.x);
    memo->m_relY = fractionOf(y, size.y);
    memo->m_freq = freqAt(wave, memo->m_relY);
    terms->Append(memo);
    m_memos.termLists().Append(terms);
    m_curTitle = title;

    const wxPoint at(std::clamp(x, 0, std::max(size.x, 0)), std::clamp(y, 0, std::max(size.y, 0)));
    m_canvasPanel->shapes().Append(textShape(text, DragShape::High, at, title, 0));

    const wxSize overview = m_canvasPanelSub->GetSize();
    const float place =
        wave.m_totalSamples > 0
            ? unitFraction((static_cast<double>(wave.m_windowStart) + wave.m_cursor) /
                           wave.m_totalSamples)
            : 0.0f;
    const wxPoint mark(toPixel(overview.x, place), overviewRow(title, overview.y));
    auto* sub = new CArchMemo;
    sub->m_memoText = "+";
    sub->m_titleNo = title;
    sub->m_termNo = 0;
    sub->m_relX = place;
    sub->m_relY = fractionOf(mark.y, overview.y);
    m_memos.subs().Append(sub);
    m_canvasPanelSub->shapes().Append(textShape("+", DragShape::High, mark, title, 0));

    auto* param = new CArchMemo;
    param->m_memoText = m_paramBackup;
    param->m_titleNo = title;
    param->m_termNo = 0;
    param->m_viewStart = wave.m_windowStart;
    param->m_viewCursor = wave.m_cursor;
    param->m_viewLength = wave.m_windowLen;
    m_memos.params().Append(param);
    memoEdited();
}

void MyFrame::addTerm(const wxString& text, int x, int y) {
    if (text.IsEmpty()) {
        wxLogMessage(kMemoEmpty);
        return;
    }
    const int slot = m_memos.termLists().IsEmpty() ? -1 : m_memos.slotOfTitle(m_curTitle);
    if (slot < 0) {
        wxLogMessage("memo list wrong, can not add memo.");
        return;
    }
    const CArchMemo* sub = m_memos.subAt(slot);
    wxList* terms = m_memos.termsAt(slot);
    const CArchMemo* last = recordOf(terms->GetLast()->GetData());
    if (!sub || !last || last->m_termNo == INT_MAX) {
        wxLogMessage(kListWrong);
        return;
    }
    const DragShape::DispPrior prior = DragShape::FromMemoPrior(sub->GetMemoPrior());
    const wxSize size = m_canvasPanel->GetSize();
    const int term = last->m_termNo + 1;

    auto* memo = new CArchMemo;
    memo->m_memoText = text;
    memo->m_titleNo = m_curTitle;
    memo->m_termNo = term;
    memo->m_relX = fractionOf(x, size.x);
    memo->m_relY = fractionOf(y, size.y);
    memo->m_freq = freqAt(*m_sound.wave(), memo->m_relY);
    terms->Append(memo);
    memoEdited();

    if (text.Contains(kImageTag)) {
        readImageMemo(text, x, y, m_curTitle, term, prior);
    } else if (m_canvasPanel->plotKind() == plotVoiceprint) {
        // Elsewhere the memo has no place to stand; it shows when its group is next drawn
        // on the voiceprint.
        const wxPoint at(std::clamp(x, 0, std::max(size.x, 0)),
                         std::clamp(y, 0, std::max(size.y, 0)));
        m_canvasPanel->shapes().Append(textShape(text, prior, at, m_curTitle, term));
    }
}

void MyFrame::reAddMemo() {
    if (m_memos.termLists().IsEmpty())
        return;
    const int slot = m_memos.slotOfTitle(m_curTitle);
    if (slot < 0)
        return;
    const CArchMemo* sub = m_memos.subAt(slot);
    if (!sub) {
        wxLogMessage(kListWrong);
        return;
    }
    const DragShape::DispPrior prior = DragShape::FromMemoPrior(sub->GetMemoPrior());
    m_canvasPanel->ClearShapes();
    const wxSize size = m_canvasPanel->GetSize();
    const CWavPara& wave = *m_sound.wave();

    for (wxObject* item : *m_memos.termsAt(slot)) {
        CArchMemo* memo = recordOf(item);
        if (!memo) {
            wxLogMessage(kInternalError);
            continue;
        }
        if (memo->m_freq < wave.m_freqLow || memo->m_freq > wave.m_freqHigh)
            continue;
        // The height follows the frequency, so the memo stays on its band when the range changes.
        memo->m_relY = fractionOf(wave.m_freqHigh - memo->m_freq, wave.m_freqHigh - wave.m_freqLow);
        const wxPoint at(toPixel(size.x, memo->m_relX), toPixel(size.y, memo->m_relY));
        if (memo->m_memoText.Contains(kImageTag))
            readImageMemo(memo->m_memoText, at.x, at.y, m_curTitle, memo->m_termNo, prior);
        else
            m_canvasPanel->shapes().Append(
                textShape(memo->m_memoText, prior, at, m_curTitle, memo->m_termNo));
    }
    separateShownLabels();
}

void MyFrame::separateShownLabels() {
    // Memos close together would hide each other's text; only the drawing moves, the shapes and
    // the records keep their places.
    std::vector<LabelBox> boxes;
    for (wxObject* item : m_canvasPanel->shapes()) {
        const auto* shape = static_cast<DragShape*>(item);
        boxes.push_back({shape->m_pos.x, shape->m_pos.y, shape->m_bitmap.GetWidth(),
                         shape->m_bitmap.GetHeight()});
    }
    separateLabels(boxes, 0, m_canvasPanel->GetSize().y);
    size_t i = 0;
    for (wxObject* item : m_canvasPanel->shapes()) {
        auto* shape = static_cast<DragShape*>(item);
        shape->m_drawOffsetY = boxes[i++].y - shape->m_pos.y;
    }
}

// ---------------------------------------------------------------------------
// Changing and deleting

void MyFrame::editMemo(int title, int term) {
    if (!mayRun(Action::editMemos))
        return;
    bool recordChanged = false;
    wxString text;
    for (wxList* terms : m_memos.termLists()) {
        const CArchMemo* titleMemo = titleMemoOf(terms);
        if (!titleMemo || titleMemo->m_titleNo != title)
            continue;
        for (wxObject* item : *terms) {
            CArchMemo* memo = recordOf(item);
            if (!memo || memo->m_termNo != term)
                continue;
            wxTextEntryDialog dialog(this, "please, input memo.", "please, input memo.",
                                     memo->m_memoText, wxOK | wxCANCEL | wxCENTRE);
            if (dialog.ShowModal() != wxID_OK || dialog.GetValue().IsEmpty()) {
                wxLogMessage("quit edit memo.");
                return;
            }
            memo->m_memoText = dialog.GetValue();
            text = memo->m_memoText;
            recordChanged = true;
            memoEdited();
        }
    }
    if (!recordChanged)
        wxLogMessage(kNotFound);

    // Only shapes of the edited group: the main panel shows one group, but a call for
    // another must not rewrite the shown one. Without a new text the shapes stay as they are.
    bool shapeFound = false;
    for (auto node = m_canvasPanel->shapes().GetFirst(); node; node = node->GetNext()) {
        auto* shape = static_cast<DragShape*>(node->GetData());
        if (!shape || shape->m_termNo != term || shape->m_titleNo != title)
            continue;
        shapeFound = true;
        if (!recordChanged)
            continue;
        if (text.Contains(kImageTag)) {
            m_canvasPanel->forgetShape(shape);
            replaceImageMemo(node, text);
        } else {
            replaceShape(*m_canvasPanel, node,
                         textShape(text, shape->m_dispPrior, shape->m_pos, shape->m_titleNo,
                                   shape->m_termNo));
        }
    }
    if (!shapeFound)
        wxLogMessage(kNotFound);
    if (recordChanged != shapeFound)
        wxLogMessage(kInternalError);
    Refresh(true);
    Update();
}

namespace {} // namespace

void MyFrame::deleteMemo(int title, int term) {
    if (!mayRun(Action::editMemos))
        return;
    if (term == 0)
        deleteGroup(title);
    else
        deleteTerm(title, term);
    Refresh(true);
    Update();
}

void MyFrame::replaceMemo(int title) {
    if (!mayRun(Action::editMemos))
        return;
    if (m_memos.params().IsEmpty()) {
        wxLogMessage(kNotFound);
        return;
    }
    bool found = false;
    for (wxObject* item : m_memos.params()) {
        CArchMemo* param = recordOf(item);
        if (param && param->m_titleNo == title) {
            param->m_memoText = m_paramBackup;
            found = true;
            memoEdited();
        }
    }
    if (!found)
        wxLogMessage(kNotFound);
}

void MyFrame::restoreMemo(int) {
    if (!mayRun(Action::editMemos))
        return;
    wxCommandEvent stop;
    OnStop(stop);
    // A second computation would share the work memory with the running one, and there is
    // nothing to compute before a sound is open.
    if (m_voiceprintRunning || !m_sound.work()->m_wave)
        return;
    wxGetApp().m_dataLock.Lock();
    calcSSFTBase();
}

// ---------------------------------------------------------------------------
// Order and priority of the slots

namespace {} // namespace

void MyFrame::moveMemoToFirst(int title) {
    if (!mayRun(Action::editMemos))
        return;
    moveGroup(title, true);
}

void MyFrame::moveMemoToLast(int title) {
    if (!mayRun(Action::editMemos))
        return;
    moveGroup(title, false);
}

void MyFrame::sortMemoByTime() {
    if (!mayRun(Action::editMemos))
        return;
    if (m_memos.subs().IsEmpty())
        return;
    if (!slotsAligned()) {
        wxLogMessage(kListWrong);
        return;
    }
    const size_t count = m_memos.subs().GetCount();
    memoEdited();
    // Selection sort: among equal places the earlier slot goes first.
    for (size_t p = 0; p < count; ++p) {
        float least = 2.0f;
        size_t chosen = count;
        for (size_t k = p; k < count; ++k) {
            const CArchMemo* sub = m_memos.subAt(k);
            if (!sub) {
                chosen = count;
                break;
            }
            // Places are kept as read, so one may lie off the panel or be NaN.
            if (unitFraction(sub->m_relX) < least) {
                least = unitFraction(sub->m_relX);
                chosen = k;
            }
        }
        if (chosen == count) {
            wxLogMessage(kListWrong);
            return;
        }
        moveSlot(chosen, p);
    }
    Refresh(true);
    Update();
    wxLogMessage("sorting memo by time");
}

void MyFrame::setProirSubTitle(int title, DragShape::DispPrior prior) {
    if (!mayRun(Action::editMemos))
        return;
    const int slot = groupSlot(title);
    if (slot < 0)
        return;
    const CArchMemo::MemoPrior stored = prior == DragShape::Mid   ? CArchMemo::Mid
                                        : prior == DragShape::Low ? CArchMemo::Low
                                                                  : CArchMemo::High;
    m_memos.subAt(slot)->SetMemoPrior(stored);
    memoEdited();
    const DragShape::DispPrior shown = DragShape::FromMemoPrior(stored);

    wxList& marks = m_canvasPanelSub->shapes();
    const DragShape* mark = static_cast<size_t>(slot) < marks.GetCount()
                                ? static_cast<DragShape*>(marks.Item(slot)->GetData())
                                : nullptr;
    if (mark)
        replaceShape(*m_canvasPanelSub, marks.Item(slot),
                     textShape("+", shown, mark->m_pos, mark->m_titleNo, mark->m_termNo));
    else
        wxLogMessage(kListWrong);
    m_canvasPanelSub->Refresh(true);
    m_canvasPanelSub->Update();

    for (auto node = m_canvasPanel->shapes().GetFirst(); node; node = node->GetNext()) {
        auto* shape = static_cast<DragShape*>(node->GetData());
        if (!shape || shape->m_titleNo != title)
            continue;
        const wxString text = shape->m_shapeText;
        if (text.Contains(kImageTag)) {
            // Pictures keep their colours; the priority travels with the shape.
            shape->m_dispPrior = shown;
            m_canvasPanel->forgetShape(shape);
            replaceImageMemo(node, text);
        } else {
            replaceShape(*m_canvasPanel, node,
                         textShape(text, shown, shape->m_pos, shape->m_titleNo, shape->m_termNo));
        }
    }
    m_canvasPanel->Refresh(true);
    m_canvasPanel->Update();
}

// ---------------------------------------------------------------------------
// Priorities

void MyFrame::calcPriorStats() {
    if (m_memos.subs().IsEmpty())
        return;
    long counts[3] = {0, 0, 0};
    long total = 0;
    bool broken = false;
    for (wxObject* item : m_memos.subs()) {
        const CArchMemo* sub = recordOf(item);
        if (!sub) {
            broken = true;
            continue;
        }
        ++counts[sub->GetMemoPrior()];
        ++total;
    }
    wxLogMessage("Priority Stats : ");
    wxLogMessage("Total = %ld", total);
    wxLogMessage("Priority High = %ld", counts[CArchMemo::High]);
    wxLogMessage("Priority Mid = %ld", counts[CArchMemo::Mid]);
    wxLogMessage("Priority Low = %ld", counts[CArchMemo::Low]);
    if (broken)
        wxLogMessage(kListWrong);
}

bool MyFrame::isExecByMemoPrior(int slot) const {
    const CArchMemo* sub = slot < 0 ? nullptr : m_memos.subAt(static_cast<size_t>(slot));
    if (!sub) {
        wxLogMessage(kListWrong);
        return false;
    }
    return sub->GetMemoPrior() <= m_priorLimit;
}
