#include <memory>

#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>

#include "gui/app/Require.h"
#include "gui/panels/myCanvasPanel.h"
#include "gui/panels/DragShape.h"

namespace {

wxMenu* redrawOnly() {
    auto* menu = new wxMenu;
    menu->Append(myCanvasPanel::CmdRedraw, "&Redraw");
    return menu;
}

void logListenerLost() {
    wxLogMessage("internal error.");
    wxLogMessage("Do not save memo, please restart Vocalith.");
}

} // namespace

// ---------------------------------------------------------------------------
// Menus. They are built anew for each right press and shown modally.

wxMenu* myCanvasPanel::buildContextMenuToPlay() {
    if (isSizeChanged())
        return redrawOnly();
    auto* menu = new wxMenu;
    menu->Append(CmdPlay, "&Play");
    menu->Append(CmdStop, "&Stop");
    menu->AppendSeparator();
    menu->Append(CmdSetRange, "&Zoom");
    menu->Append(CmdUnsetRange, "&Unset zoom");
    menu->AppendSeparator();
    menu->Append(CmdVoiceprint, "&Voiceprint");
    return menu;
}

wxMenu* myCanvasPanel::buildContextMenuTitle(const wxPoint& pos) {
    if (isSizeChanged())
        return redrawOnly();
    auto* menu = new wxMenu;
    if (FindShape(pos)) {
        menu->Append(CmdMemoMoveTo, "&Show this memo");
        menu->AppendSeparator();
        menu->Append(CmdMemoToFirst, "&Move this memo to list first");
        menu->Append(CmdMemoToLast, "&Move this memo to list last");
    } else {
        menu->Append(CmdMemoSort, "&Sort memo list by time");
    }
    return menu;
}

wxMenu* myCanvasPanel::buildContextMenu(const wxPoint& pos) {
    if (isSizeChanged())
        return redrawOnly();
    DragShape* shape = FindShape(pos);
    auto first = m_shapeList.GetFirst();
    const bool onTitle = shape && first && first->GetData() == shape;

    if (shape && !onTitle) {
        // A term memo can be changed only where it was made, on the voiceprint.
        if (m_plotKind != plotVoiceprint)
            return nullptr;
        auto* menu = new wxMenu;
        menu->Append(CmdEditMemo, "&Edit memo");
        menu->Append(CmdDeleteMemo, "Delete memo");
        return menu;
    }

    auto* menu = new wxMenu;
    if (onTitle) {
        menu->Append(CmdMemoMoveNext, "&Show next memo");
        menu->Append(CmdMemoMovePrevious, "&Show previous memo");
        if (m_plotKind == plotLevelSpectrum) {
            menu->AppendSeparator();
            menu->Append(CmdEditMemo, "&Edit memo");
            menu->AppendSeparator();
            menu->Append(CmdMemoRestore, "&Show all memo in this view.");
        } else if (m_plotKind == plotVoiceprint) {
            menu->AppendSeparator();
            menu->Append(CmdEditMemo, "&Edit memo");
            menu->Append(CmdDeleteMemo, "Delete memo");
        }
        menu->AppendSeparator();
        menu->Append(CmdSetPriorHigh, "Set Priority to High");
        menu->Append(CmdSetPriorMid, "Set Priority to Mid");
        menu->Append(CmdSetPriorLow, "Set Priority to Low");
    } else if (m_plotKind == plotLevelSpectrum) {
        menu->Append(CmdPlay, "&Play");
        menu->Append(CmdStop, "&Stop");
        menu->AppendSeparator();
        menu->Append(CmdMemoMoveLatest, "&Back to latest memo");
        menu->AppendSeparator();
        menu->Append(CmdMemoToFile, "&Save memo");
        if (m_shapeList.IsEmpty()) {
            menu->AppendSeparator();
            menu->Append(CmdVoiceprint, "&Voiceprint");
        }
        menu->AppendSeparator();
        menu->Append(CmdCalcPriorStats, "Priority Stats");
    } else {
        menu->Append(CmdAddMemo, "&AddMemo");
        menu->AppendSeparator();
        menu->Append(CmdMemoToFile, "&Save memo");
        menu->AppendSeparator();
        // Offers the voiceprint not shown now.
        if (m_voiceprintMethod == 2)
            menu->Append(CmdHammingWindow, "&Display Standard(using HammingWindow) result");
        else if (m_voiceprintMethod == 1)
            menu->Append(CmdWidebandPhase, "&Display WidebandPhaseRestoration result");
        menu->AppendSeparator();
        menu->Append(CmdMemoMoveLatest, "&Back to latest memo");
        menu->AppendSeparator();
        menu->Append(CmdCalcPitch, "&Pitch Detection");
        menu->AppendSeparator();
        menu->Append(CmdCalcPriorStats, "Priority Stats");
    }
    return menu;
}

void myCanvasPanel::ShowContextMenu(const wxPoint& pos) {
    m_menuPos = pos;
    std::unique_ptr<wxMenu> menu(buildContextMenu(pos));
    if (menu)
        PopupMenu(menu.get(), pos);
}

void myCanvasPanel::ShowContextMenuTitle(const wxPoint& pos) {
    if (FindShape(pos))
        m_menuPos = pos;
    std::unique_ptr<wxMenu> menu(buildContextMenuTitle(pos));
    PopupMenu(menu.get(), pos);
}

void myCanvasPanel::ShowContextMenuToPlay(const wxPoint& pos) {
    std::unique_ptr<wxMenu> menu(buildContextMenuToPlay());
    PopupMenu(menu.get(), pos);
}

// ---------------------------------------------------------------------------
// Commands

DragShape* myCanvasPanel::takeMenuMemo() {
    const wxPoint at = m_menuPos;
    if (at.x < 0 && at.y < 0)
        return nullptr; // no menu was opened on a memo
    m_menuPos = wxPoint(-1, -1);
    // The shapes may have changed while the menu was open.
    DragShape* shape = FindShape(at);
    if (!shape)
        wxLogMessage("memo not found.");
    return shape;
}

void myCanvasPanel::OnAddMemo(wxCommandEvent&) {
    const wxPoint at = m_menuPos;
    if (at.x < 0 && at.y < 0)
        return;
    m_menuPos = wxPoint(-1, -1);
    wxTextEntryDialog dialog(this, "Input memo ", "Input memo ", wxEmptyString,
                             wxOK | wxCANCEL | wxCENTRE);
    if (dialog.ShowModal() != wxID_OK || dialog.GetValue().IsEmpty()) {
        wxLogMessage("quit adding memo.");
        return;
    }
    if (!m_memoListener) {
        logListenerLost();
        return;
    }
    m_memoListener->addMemo(at.x, at.y, dialog.GetValue());
}

void myCanvasPanel::OnEditMemo(wxCommandEvent&) {
    DragShape* shape = takeMenuMemo();
    if (!shape)
        return;
    if (!m_memoListener) {
        logListenerLost();
        return;
    }
    m_memoListener->editMemo(shape->m_titleNo, shape->m_termNo);
}

void myCanvasPanel::OnDeleteMemo(wxCommandEvent&) {
    DragShape* shape = takeMenuMemo();
    if (!shape)
        return;
    const int title = shape->m_titleNo;
    const int term = shape->m_termNo;
    // The title memo stands for its whole group.
    const wxString question = term != 0 ? "Delete memo" : "Delete all memo in this view ";
    wxMessageDialog dialog(this, question, "confirm", wxYES_NO | wxNO_DEFAULT | wxICON_INFORMATION);
    if (dialog.ShowModal() != wxID_YES)
        return;
    if (!m_memoListener) {
        logListenerLost();
        return;
    }
    m_memoListener->deleteMemo(title, term);
}

void myCanvasPanel::OnMemoMoveTo(wxCommandEvent&) {
    if (DragShape* shape = takeMenuMemo()) {
        if (m_memoListener)
            m_memoListener->moveToMemo(shape->m_titleNo);
        else
            wxLogMessage("memo not found.");
    }
}

void myCanvasPanel::OnMemoMoveLatest(wxCommandEvent&) {
    if (m_memoListener)
        m_memoListener->moveToLatestMemo();
}

void myCanvasPanel::OnMemoMoveNext(wxCommandEvent&) {
    if (DragShape* shape = takeMenuMemo()) {
        if (m_memoListener)
            m_memoListener->moveNextMemo(shape->m_titleNo);
        else
            wxLogMessage("memo not found.");
    }
}

void myCanvasPanel::OnMemoMovePrevious(wxCommandEvent&) {
    if (DragShape* shape = takeMenuMemo()) {
        if (m_memoListener)
            m_memoListener->movePreviousMemo(shape->m_titleNo);
        else
            wxLogMessage("memo not found.");
    }
}

void myCanvasPanel::OnMemoRestore(wxCommandEvent&) {
    if (DragShape* shape = takeMenuMemo()) {
        if (m_memoListener)
            m_memoListener->restoreMemo(shape->m_titleNo);
        else
            wxLogMessage("memo not found.");
    }
}

void myCanvasPanel::OnMemoReplace(wxCommandEvent&) {
    if (DragShape* shape = takeMenuMemo()) {
        if (m_memoListener)
            m_memoListener->replaceMemo(shape->m_titleNo);
        else
            wxLogMessage("memo not found.");
    }
}

void myCanvasPanel::OnMemoSort(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->sortMemoByTime();
}

void myCanvasPanel::OnMemoToFirst(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    if (DragShape* shape = takeMenuMemo())
        m_memoListener->moveMemoToFirst(shape->m_titleNo);
}

void myCanvasPanel::OnMemoToLast(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    if (DragShape* shape = takeMenuMemo())
        m_memoListener->moveMemoToLast(shape->m_titleNo);
}

void myCanvasPanel::ToPlay(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->toPlay();
}

void myCanvasPanel::ToStop(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->toStop();
}

void myCanvasPanel::ToRedraw(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->toRedraw();
}

void myCanvasPanel::ToMemoToFile(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->toSaveMemoToFile();
}

void myCanvasPanel::ToHammingWindow(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->toHammingWindow();
}

void myCanvasPanel::ToWidebandPhase(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->toWidebandPhase();
}

void myCanvasPanel::ToSetRange(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->setRange();
}

void myCanvasPanel::ToUnsetRange(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->unsetRange();
}

void myCanvasPanel::ToVoiceprint(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->toVoiceprint();
}

void myCanvasPanel::ToSetPriorHigh(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    if (DragShape* shape = takeMenuMemo())
        m_memoListener->setProirSubTitle(shape->m_titleNo, DragShape::High);
}

void myCanvasPanel::ToSetPriorMid(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    if (DragShape* shape = takeMenuMemo())
        m_memoListener->setProirSubTitle(shape->m_titleNo, DragShape::Mid);
}

void myCanvasPanel::ToSetPriorLow(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    if (DragShape* shape = takeMenuMemo())
        m_memoListener->setProirSubTitle(shape->m_titleNo, DragShape::Low);
}

void myCanvasPanel::ToCalcPriorStats(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->calcPriorStats();
}

void myCanvasPanel::ToCalcPitch(wxCommandEvent&) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
    m_memoListener->calcPitch();
}
