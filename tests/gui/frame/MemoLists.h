#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <tuple>
#include <utility>

#include <wx/image.h>

#include "engine/memo/CArchMemo.h"
#include "engine/sound/CWavPara.h"
#include "gui/panels/DragShape.h"
#include "support/GuiFixture.h"

// Several outcomes side by side, compared in one assertion.
template <class... T> auto tup(const T&... values) {
    return std::make_tuple(values...);
}

// Shape i of a panel's list, or null past its end.
inline DragShape* shapeAt(const wxList& list, size_t i) {
    return i < list.GetCount() ? static_cast<DragShape*>(list.Item(i)->GetData()) : nullptr;
}

// Memo i of a slot (0: its title), or null past the end.
inline CArchMemo* memoAt(const MyFrame& frame, size_t slot, size_t i) {
    const wxList* terms = inside(&frame).memos().termsAt(slot);
    return terms && i < terms->GetCount() ? static_cast<CArchMemo*>(terms->Item(i)->GetData())
                                          : nullptr;
}

inline bool hasColour(const DragShape& shape, const wxColour& c) {
    const wxImage image = shape.m_bitmap.ConvertToImage();
    const unsigned char* p = image.GetData();
    for (const unsigned char* end = p + 3 * image.GetWidth() * image.GetHeight(); p < end; p += 3)
        if (p[0] == c.Red() && p[1] == c.Green() && p[2] == c.Blue())
            return true;
    return false;
}

// Runs `act` with files limited to `bytes`, as a disk that fills there (SIGXFSZ ignored).
template <class F> void withFileSizeLimit(rlim_t bytes, F act) {
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    const struct rlimit small = {bytes, saved.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    act();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
}

// A frame with the memo lists' shapes and records at hand.
class MemoFrameTest : public FrameTest {
protected:
    // Log lines since the last call.
    Lines newLog() {
        const Lines all = log();
        return Lines(all.begin() + std::min(std::exchange(mark, all.size()), all.size()),
                     all.end());
    }
    bool logged(const std::string& text) const {
        const Lines lines = log();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    DragShape* shape(size_t i) const { return shapeAt(inside(frame).canvasPanel()->shapes(), i); }
    DragShape* plus(size_t i) const { return shapeAt(inside(frame).canvasPanelSub()->shapes(), i); }
    CArchMemo* record(size_t slot, size_t i) const { return memoAt(*frame, slot, i); }
    size_t shapes() const { return inside(frame).canvasPanel()->shapes().GetCount(); }
    size_t pluses() const { return inside(frame).canvasPanelSub()->shapes().GetCount(); }

    size_t mark = 0;
};
