#include "gui/frame/MyFrame.h"
#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "engine/memo/MemoListFile.h"

void MyFrame::clearMemoList() {
    m_memos.clear();
    if (m_canvasPanelSub)
        m_canvasPanelSub->ClearShapes();
    if (m_canvasPanel)
        m_canvasPanel->ClearShapes();
    m_curTitle = -1;
}

bool MyFrame::clearIntactMemoList() {
    if (!m_memos.intact()) {
        wxLogMessage("memo list wrong.");
        wxLogMessage("couldn't delete memo list and read next memo list.");
        wxLogMessage("please, try re-start Vocalith.");
        return false;
    }
    clearMemoList();
    return true;
}

void MyFrame::adoptMemoSlots(std::vector<MemoSlot>& slots) {
    // A "+" looks the same in every slot of a priority: render it once per priority and share
    // the bitmap, which keeps reading a long list quick.
    const wxSize overview = m_canvasPanelSub->GetSize();
    const DragShape* rendered[3] = {};
    int titleNo = 0;
    for (MemoSlot& slot : slots) {
        const DragShape::DispPrior prior = DragShape::FromMemoPrior(slot.sub->GetMemoPrior());
        DragShape* mark;
        if (const DragShape* same = rendered[prior]) {
            mark = new DragShape(same->m_bitmap, prior);
            mark->m_shapeText = same->m_shapeText;
        } else {
            mark = new DragShape(wxString("+"), prior);
            rendered[prior] = mark;
        }
        // Truncated, as every panel position is.
        mark->m_pos = wxPoint(int(overview.GetWidth() * double(clampRelative(slot.sub->m_relX))),
                              int(overview.GetHeight() * double(clampRelative(slot.sub->m_relY))));
        mark->m_titleNo = titleNo++;
        mark->m_termNo = 0;

        m_memos.append(slot);
        m_canvasPanelSub->shapes().Append(mark);
    }
}
