#include <atomic>
#include <optional>
#include <vector>

#include "engine/analysis/CWorkMemory.h"
#include "gui/app/MyApp.h"
#include "gui/frame/MyFrame.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/CWavPara.h"

namespace {

const char kImageTag[] = "[ImageMemo]=";
const char kNotFound[] = "memo not found.";
const char kListWrong[] = "memo list wrong.";
const char kInternalError[] = "memo list uncorrect ( internal error ).";
const char kNotSaved[] = "memo list wrong, position not saved.";
const char kNotLoaded[] = "memo list wrong, position not loaded.";

// The moves between groups and the searches hold the busy flag, so that editing waits for
// them, and drop it on every way out.
class BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_busy;
};

// Fractions come from files: NaN or far off the panel must not become an undefined pixel.
int toPixel(int size, float fraction) {
    return static_cast<int>(static_cast<float>(size) * clampRelative(fraction));
}

float fractionOf(int part, int whole) {
    return whole > 0 ? clampRelative(static_cast<float>(static_cast<double>(part) / whole)) : 0.0f;
}

// The slots a forward (next) or backward (previous) move visits from slot s, -1 for none:
// forward s + 1, s + 2, ... wrapping, the current slot last; backward s - 1, s - 2, ...
// wrapping, the current slot last, or without one 0 first, then n - 1 down to 1.
std::vector<size_t> visitOrder(int s, size_t n, bool forward) {
    std::vector<size_t> order;
    const long long count = static_cast<long long>(n);
    for (long long k = 1; k <= count; ++k) {
        const long long c = count - k;
        const long long j = forward ? (s + k) % count : (s < 0 ? (c + 1) % count : (s + c) % count);
        order.push_back(static_cast<size_t>(j));
    }
    return order;
}

CArchMemo* recordOf(wxObject* item) {
    return static_cast<CArchMemo*>(item);
}

} // namespace

void MyFrame::playOnce() {
    const bool repeat = m_playRepeat->GetValue();
    m_playRepeat->SetValue(false);
    wxCommandEvent play;
    OnPlay(play);
    m_playRepeat->SetValue(repeat);
}

bool MyFrame::refusedDuringTour() {
    if (mayRun(Action::editMemos))
        return false;
    wxLogMessage("%s", kTourRunsLine);
    return true;
}

void MyFrame::stepTo(int title, bool forward) {
    BusyScope busy(m_tourRunning);
    readPriorLimit();
    for (size_t slot : visitOrder(m_memos.slotOfTitle(title), m_memos.count(), forward)) {
        const CArchMemo* sub = m_memos.subAt(slot);
        if (!sub) {
            wxLogMessage(kListWrong);
            return;
        }
        if (sub->GetMemoPrior() <= m_priorLimit) {
            moveToBase(sub->m_titleNo);
            playOnce();
            return;
        }
    }
    wxLogMessage(kNotFound);
}

void MyFrame::moveStep(int title, bool forward) {
    if (refusedDuringTour() || m_voiceprintRunning || m_memos.termLists().IsEmpty())
        return;
    stepTo(title, forward);
}

void MyFrame::searchAndMove(const wxString& text, bool forward) {
    BusyScope busy(m_tourRunning);
    readPriorLimit();
    const int from = m_curTitle != -1 ? m_curTitle : m_prevTitle;
    bool found = false;
    int hit = 0;
    for (size_t slot : visitOrder(m_memos.slotOfTitle(from), m_memos.count(), forward)) {
        const CArchMemo* sub = m_memos.subAt(slot);
        if (!sub) {
            wxLogMessage(kListWrong);
            return;
        }
        if (sub->GetMemoPrior() > m_priorLimit)
            continue;
        if (const wxList* terms = m_memos.termsAt(slot)) {
            for (wxObject* item : *terms) {
                const CArchMemo* memo = recordOf(item);
                if (memo && memo->m_memoText.Contains(text)) {
                    hit = memo->m_titleNo;
                    found = true;
                }
            }
        }
        if (found)
            break;
    }
    if (!found) {
        wxLogMessage("%s", text + " : not found.");
        return;
    }
    if (hit == m_curTitle) {
        wxLogMessage("%s", text + " : found, but same title. not move.");
        return;
    }
    wxLogMessage("%s", text + " : found.");
    wxCommandEvent stop;
    OnStop(stop);
    m_canvasPanelUp->redrawWave();
    m_canvasPanel->ClearShapes();
    m_canvasPanel->redrawdB();
    m_canvasPanelSub->redrawWaveSub();
    m_canvasPanelSub2->redrawWave();
    moveToMemo(hit);
}

void MyFrame::search(bool forward) {
    if (refusedDuringTour() || m_voiceprintRunning)
        return;
    const wxString text = m_searchtext ? m_searchtext->GetValue() : wxString();
    if (text.IsEmpty() || m_memos.termLists().IsEmpty())
        return;
    searchAndMove(text, forward);
}

void MyFrame::readPriorLimit() {
    // A choice without a selection reads -1, which no group would pass.
    const int choice = m_priorlimit ? m_priorlimit->GetSelection() : 0;
    m_priorLimit = choice < 0 ? 0 : choice;
}

void MyFrame::moveToBase(int title) {
    if (m_voiceprintRunning)
        return;
    wxCommandEvent stop;
    OnStop(stop);
    if (m_curTitle != -1)
        m_prevTitle = m_curTitle;
    m_curTitle = -1;
    m_canvasPanel->ClearShapes();

    const CArchMemo* param = nullptr;
    for (wxObject* item : m_memos.params()) {
        const CArchMemo* memo = recordOf(item);
        if (memo && memo->m_titleNo == title)
            param = memo;
    }
    if (!param) {
        wxLogMessage(kNotFound);
        return;
    }
    m_text->Clear();
    m_text->AppendText(param->m_memoText);
    wxCommandEvent confirm;
    OnConfirm(confirm);

    // The view comes from the memo list, which may have been written for another sound or
    // be damaged: what lies outside the sound is clamped to it, and without a sound there is
    // nothing to show.
    CWavPara& wave = *m_sound.wave();
    int32_t start = 0;
    int32_t cursor = 0;
    memoViewFits(*param, start, cursor);
    if (wave.m_totalSamples <= 0) {
        wxLogMessage(kListWrong);
        return;
    }
    m_canvasPanelSub2->eraseSelect();
    wave.m_windowStart = start;
    wave.setSiii();
    wave.m_cursor = cursor;
    shiftSliderPos(cursor);

    const double share = static_cast<double>(wave.m_overviewLen) / wave.m_totalSamples;
    const long first = static_cast<long>(start * share);
    m_canvasPanelSub->drawWavePosLineSub(first,
                                         first + static_cast<long>(share * wave.m_windowLen));

    const int slot = m_memos.slotOfTitle(title);
    if (slot < 0) {
        wxLogMessage(kNotFound);
        return;
    }
    const CArchMemo* sub = m_memos.subAt(static_cast<size_t>(slot));
    if (!sub) {
        wxLogMessage(kListWrong);
        return;
    }
    const DragShape::DispPrior prior = DragShape::FromMemoPrior(sub->GetMemoPrior());
    const wxSize size = m_canvasPanel->GetSize();
    wxList* terms = m_memos.termsAt(static_cast<size_t>(slot));

    const CArchMemo* titleMemo = recordOf(terms->GetFirst()->GetData());
    if (!titleMemo) {
        wxLogMessage(kNotFound);
    } else {
        auto* shape = new DragShape(titleMemo->m_memoText, prior);
        const wxSize bitmap(shape->m_bitmap.GetWidth(), shape->m_bitmap.GetHeight());
        shape->m_pos = wxPoint(size.x / 2 - bitmap.x / 2, 3 * size.y / 4 - bitmap.y / 2);
        shape->m_titleNo = title;
        shape->m_termNo = 0;
        m_canvasPanel->shapes().Append(shape);
    }

    const int low = wave.m_freqLow;
    const int high = wave.m_freqHigh;
    for (auto node = terms->GetFirst()->GetNext(); node; node = node->GetNext()) {
        CArchMemo* memo = recordOf(node->GetData());
        if (!memo) {
            wxLogMessage(kInternalError);
            continue;
        }
        if (memo->m_freq < low || memo->m_freq > high)
            continue;
        // An empty range has no height to map to: the memo keeps its stored place.
        if (high > low)
            memo->m_relY = fractionOf(high - memo->m_freq, high - low);
        if (memo->m_memoText.Contains(kImageTag))
            readImageMemo(memo->m_memoText, toPixel(size.x, memo->m_relX),
                          toPixel(size.y, memo->m_relY), title, memo->m_termNo, prior);
    }

    m_curTitle = title;
    Refresh(true);
    Update();
}

void MyFrame::moveToMemo(int title) {
    if (m_voiceprintRunning)
        return;
    moveToBase(title);
    playOnce();
}

void MyFrame::moveToLatestMemo() {
    if (m_prevTitle == -1)
        return;
    moveToMemo(m_prevTitle);
}

void MyFrame::moveNextMemo(int title) {
    moveStep(title, true);
}

void MyFrame::movePreviousMemo(int title) {
    moveStep(title, false);
}

void MyFrame::moveToMemoFromEvent(wxCommandEvent& event) {
    // While a computation runs, m_dataLock is already held on this thread's behalf.
    if (!tourEventStale(event) && !m_voiceprintRunning) {
        // The tour's own pace: this step plays at once, without a voiceprint.
        wxMutexLocker lock(wxGetApp().m_dataLock);
        moveToMemo(event.GetInt());
    }
    tourMoveHandled(event);
}

void MyFrame::moveToMemoSsftFromEvent(wxCommandEvent& event) {
    if (!tourEventStale(event) && !m_voiceprintRunning) {
        wxMutex& data = wxGetApp().m_dataLock;
        data.Lock();
        moveToBase(event.GetInt());
        if (m_sound.work()->m_wave)
            calcSSFTBase(); // the lock goes back when the computation's end has been handled
        else
            data.Unlock();
    }
    tourMoveHandled(event);
}

void MyFrame::OnSearchLeft(wxCommandEvent&) {
    search(false);
}

void MyFrame::OnSearchRigth(wxCommandEvent&) {
    search(true);
}

void MyFrame::saveMemoPos() {
    const int slot = m_memos.slotOfTitle(m_curTitle);
    if (slot < 0)
        return;
    wxList* terms = m_memos.termsAt(static_cast<size_t>(slot));
    const wxSize size = m_canvasPanel->GetSize();
    const wxList& shapes = m_canvasPanel->shapes();
    bool wrong = shapes.IsEmpty() || size.x <= 0 || size.y <= 0;
    if (!wrong) {
        const CWavPara& wave = *m_sound.wave();
        for (wxObject* item : *terms) {
            CArchMemo* memo = recordOf(item);
            if (!memo) {
                wrong = true;
                continue;
            }
            bool matched = false;
            for (wxObject* s : shapes) {
                const auto* shape = static_cast<const DragShape*>(s);
                if (!shape) {
                    wrong = true;
                    continue;
                }
                if (shape->m_termNo != memo->m_termNo)
                    continue;
                matched = true;
                // Only a memo the user moved gets a new place: storing the others would round
                // their places to pixels and change records nobody touched.
                if (!shape->m_movedByUser)
                    continue;
                memoEdited();
                memo->m_relX = fractionOf(shape->m_pos.x, size.x);
                memo->m_relY = fractionOf(shape->m_pos.y, size.y);
                // Float arithmetic, as a memo's frequency is set when it is added.
                memo->m_freq = static_cast<int>(
                    static_cast<float>(wave.m_freqLow) +
                    static_cast<float>(wave.m_freqHigh - wave.m_freqLow) * (1.0f - memo->m_relY));
            }
            if (!matched)
                wrong = true;
        }
    }
    for (wxObject* s : shapes)
        if (s)
            static_cast<DragShape*>(s)->m_movedByUser = false;
    if (wrong)
        wxLogMessage(kNotSaved);
}

void MyFrame::loadMemoPos() {
    wxList& marks = m_canvasPanelSub->shapes();
    if (m_memos.subs().GetCount() != marks.GetCount()) {
        wxLogMessage(kNotLoaded);
        return;
    }
    bool wrong = false;
    const wxSize overview = m_canvasPanelSub->GetSize();
    auto mark = marks.GetFirst();
    for (wxObject* item : m_memos.subs()) {
        const CArchMemo* sub = recordOf(item);
        auto* shape = static_cast<DragShape*>(mark->GetData());
        mark = mark->GetNext();
        if (!sub || !shape) {
            wrong = true;
            continue;
        }
        shape->m_pos = wxPoint(toPixel(overview.x, sub->m_relX), toPixel(overview.y, sub->m_relY));
    }

    const int slot = m_memos.slotOfTitle(m_curTitle);
    if (m_canvasPanel->plotKind() == plotVoiceprint && m_curTitle != -1) {
        const wxList* terms = slot < 0 ? nullptr : m_memos.termsAt(static_cast<size_t>(slot));
        if (!terms) {
            wrong = true;
        } else {
            const wxSize size = m_canvasPanel->GetSize();
            for (wxObject* s : m_canvasPanel->shapes()) {
                auto* shape = static_cast<DragShape*>(s);
                if (!shape) {
                    wrong = true;
                    continue;
                }
                for (wxObject* item : *terms) {
                    const CArchMemo* memo = recordOf(item);
                    if (!memo) {
                        wrong = true;
                    } else if (memo->m_termNo == shape->m_termNo) {
                        shape->m_pos =
                            wxPoint(toPixel(size.x, memo->m_relX), toPixel(size.y, memo->m_relY));
                        break;
                    }
                }
            }
            separateShownLabels();
        }
    }
    if (wrong)
        wxLogMessage(kNotLoaded);
}

void MyFrame::OnRestore(wxCommandEvent&) {
    if (m_sound.wave()->m_totalSamples == 0 || !mayRun(Action::navigate))
        return;
    wxCommandEvent stop;
    OnStop(stop);
    redrawPanels();
    Refresh(true);
    Update();
    wxLogMessage("redraw.");
}
