#include <memory>

#include <wx/textdlg.h>

#include "display/CanvasPanelFixture.h"
#include "support/Dialogs.h"

namespace {

// Items top to bottom, "—" for a separator, each with its command id.
Lines itemsOf(const wxMenu* menu) {
    Lines items;
    if (!menu)
        return items;
    for (const wxMenuItem* item : menu->GetMenuItems())
        items.push_back(item->IsSeparator() ? "—"
                                            : item->GetItemLabel().utf8_string() + " #" +
                                                  std::to_string(item->GetId()));
    return items;
}

} // namespace

class CanvasMenuTest : public CanvasPanelTest {
protected:
    Lines mainMenu(wxPoint pos) {
        std::unique_ptr<wxMenu> menu(panel->buildContextMenu(pos));
        return menu ? itemsOf(menu.get()) : Lines{"(none)"};
    }
    Lines titleMenu(wxPoint pos) {
        std::unique_ptr<wxMenu> menu(panel->buildContextMenuTitle(pos));
        return itemsOf(menu.get());
    }
    // A right press through the mouse handler; the menu that opens is read and dismissed.
    Lines rightPress(wxPoint pos) {
        Lines shown{"(none)"};
        auto onOpen = [&](wxMenuEvent& event) {
            if (event.GetMenu())
                shown = itemsOf(event.GetMenu());
            panel->CallAfter([] { wxUIActionSimulator().Char(WXK_ESCAPE); });
        };
        panel->Bind(wxEVT_MENU_OPEN, onOpen);
        wxMouseEvent event(wxEVT_RIGHT_DOWN);
        event.m_x = pos.x;
        event.m_y = pos.y;
        event.m_rightDown = true;
        event.SetEventObject(panel);
        panel->ProcessWindowEvent(event);
        panel->Unbind(wxEVT_MENU_OPEN, onOpen);
        return shown;
    }

    DragShape* title = nullptr;
    DragShape* term = nullptr;
    void withGroup() {
        title = addShape("title", wxPoint(20, 20), 4, 0);
        term = addShape("term", wxPoint(20, 200), 4, 2);
    }
};

TEST_F(CanvasMenuTest, MainMenuOnTheVoiceprint) {
    makeVoiceprintPanel();
    EXPECT_EQ(mainMenu({300, 150}), (Lines{"&AddMemo #0", "—", "&Save memo #15", "—",
                                           "&Display Standard(using HammingWindow) result #16", "—",
                                           "&Back to latest memo #4", "—", "&Pitch Detection #25",
                                           "—", "Priority Stats #24"}));
    panel->m_voiceprintMethod = 1;
    EXPECT_EQ(mainMenu({300, 150})[4], "&Display WidebandPhaseRestoration result #17");

    withGroup();
    EXPECT_EQ(mainMenu({21, 21}),
              (Lines{"&Show next memo #5", "&Show previous memo #6", "—", "&Edit memo #1",
                     "Delete memo #2", "—", "Set Priority to High #21", "Set Priority to Mid #22",
                     "Set Priority to Low #23"}));
    EXPECT_EQ(mainMenu({21, 201}), (Lines{"&Edit memo #1", "Delete memo #2"}));
}

TEST_F(CanvasMenuTest, MainMenuOnTheLevelSpectrum) {
    makeVoiceprintPanel();
    panel->m_plotKind = 1;
    EXPECT_EQ(mainMenu({300, 150}),
              (Lines{"&Play #12", "&Stop #13", "—", "&Back to latest memo #4", "—",
                     "&Save memo #15", "—", "&Voiceprint #20", "—", "Priority Stats #24"}));
    withGroup();
    EXPECT_EQ(mainMenu({300, 150}), (Lines{"&Play #12", "&Stop #13", "—", "&Back to latest memo #4",
                                           "—", "&Save memo #15", "—", "Priority Stats #24"}));
    EXPECT_EQ(mainMenu({21, 21}),
              (Lines{"&Show next memo #5", "&Show previous memo #6", "—", "&Edit memo #1", "—",
                     "&Show all memo in this view. #7", "—", "Set Priority to High #21",
                     "Set Priority to Mid #22", "Set Priority to Low #23"}));
    EXPECT_EQ(mainMenu({21, 201}), Lines{"(none)"}) << "a term memo opens no menu here";

    // Any other plot: the title offers moving and priorities only.
    panel->m_plotKind = 0;
    EXPECT_EQ(mainMenu({21, 21}), (Lines{"&Show next memo #5", "&Show previous memo #6", "—",
                                         "Set Priority to High #21", "Set Priority to Mid #22",
                                         "Set Priority to Low #23"}));
}

TEST_F(CanvasMenuTest, OverviewAndWaveformMenus) {
    makeVoiceprintPanel();
    panel->m_plotKind = 0;
    addShape("+", wxPoint(50, 50), 1, 0);
    EXPECT_EQ(titleMenu({51, 51}),
              (Lines{"&Show this memo #3", "—", "&Move this memo to list first #10",
                     "&Move this memo to list last #11"}));
    EXPECT_EQ(titleMenu({300, 200}), Lines{"&Sort memo list by time #9"});
    std::unique_ptr<wxMenu> play(panel->buildContextMenuToPlay());
    EXPECT_EQ(itemsOf(play.get()), (Lines{"&Play #12", "&Stop #13", "—", "&Zoom #18",
                                          "&Unset zoom #19", "—", "&Voiceprint #20"}));
}

TEST_F(CanvasMenuTest, StalePictureOffersOnlyRedraw) {
    makeVoiceprintPanel();
    withGroup();
    panel->SetSize(0, 0, 500, 300);
    EXPECT_EQ(mainMenu({300, 150}), Lines{"&Redraw #14"});
    EXPECT_EQ(mainMenu({21, 201}), Lines{"&Redraw #14"});
    EXPECT_EQ(titleMenu({21, 21}), Lines{"&Redraw #14"});
    std::unique_ptr<wxMenu> play(panel->buildContextMenuToPlay());
    EXPECT_EQ(itemsOf(play.get()), Lines{"&Redraw #14"});
    command(myCanvasPanel::CmdRedraw);
    EXPECT_EQ(takeCalls(), Lines{"toRedraw()"});
}

TEST_F(CanvasMenuTest, RightPressOpensThePanelsMenuAndRemembersWhere) {
    makeVoiceprintPanel();
    withGroup();
    // Main panel: the place is kept even where no menu opens.
    panel->m_plotKind = 1;
    EXPECT_EQ(rightPress({21, 201}), Lines{"(none)"});
    EXPECT_EQ(panel->m_menuPos, wxPoint(21, 201));
    panel->m_plotKind = 2;
    EXPECT_EQ(rightPress({21, 201}), (Lines{"&Edit memo #1", "Delete memo #2"}));

    // Overview: the place is kept only on a shape.
    panel->m_menuPos = wxPoint(-1, -1);
    panel->m_plotKind = 0;
    EXPECT_EQ(rightPress({300, 150}), Lines{"&Sort memo list by time #9"});
    EXPECT_EQ(panel->m_menuPos, wxPoint(-1, -1));
    EXPECT_EQ(rightPress({21, 21}).size(), 4u);
    EXPECT_EQ(panel->m_menuPos, wxPoint(21, 21));

    // Waveform panel: never kept. A stale picture is reported and still gets its menu.
    panel->m_menuPos = wxPoint(-1, -1);
    panel->m_memoPanel = 0;
    panel->m_subPlot = 0;
    panel->SetSize(0, 0, 500, 300);
    EXPECT_EQ(rightPress({300, 150}), Lines{"&Redraw #14"});
    EXPECT_EQ(panel->m_menuPos, wxPoint(-1, -1));
    EXPECT_EQ(takeLog(), Lines{"size changed, please, redraw."});
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(CanvasMenuTest, MemoCommandsPassTheNumbersOfTheShapeUnderTheMenu) {
    makeVoiceprintPanel();
    withGroup();
    const std::pair<int, const char*> onTitle[] = {
        {myCanvasPanel::CmdEditMemo, "editMemo(4,0)"},
        {myCanvasPanel::CmdMemoMoveTo, "moveToMemo(4)"},
        {myCanvasPanel::CmdMemoMoveNext, "moveNextMemo(4)"},
        {myCanvasPanel::CmdMemoMovePrevious, "movePreviousMemo(4)"},
        {myCanvasPanel::CmdMemoRestore, "restoreMemo(4)"},
        {myCanvasPanel::CmdMemoReplace, "replaceMemo(4)"},
        {myCanvasPanel::CmdMemoToFirst, "moveMemoToFirst(4)"},
        {myCanvasPanel::CmdMemoToLast, "moveMemoToLast(4)"},
        {myCanvasPanel::CmdSetPriorHigh, "setProirSubTitle(4,0)"},
        {myCanvasPanel::CmdSetPriorMid, "setProirSubTitle(4,1)"},
        {myCanvasPanel::CmdSetPriorLow, "setProirSubTitle(4,2)"},
    };
    for (const auto& c : onTitle) {
        panel->m_menuPos = wxPoint(21, 21);
        command(c.first);
        EXPECT_EQ(takeCalls(), Lines{c.second}) << c.first;
        EXPECT_EQ(panel->m_menuPos, wxPoint(-1, -1)) << c.first;
    }
    panel->m_menuPos = wxPoint(22, 202);
    command(myCanvasPanel::CmdEditMemo);
    EXPECT_EQ(takeCalls(), Lines{"editMemo(4,2)"});
    EXPECT_TRUE(takeLog().empty());

    // Nothing remembered: nothing done, nothing said.
    for (int id = myCanvasPanel::CmdAddMemo; id <= myCanvasPanel::CmdMemoToLast; ++id)
        if (id != myCanvasPanel::CmdMemoMoveLatest && id != myCanvasPanel::CmdMemoSort)
            command(id);
    for (int id = myCanvasPanel::CmdSetPriorHigh; id <= myCanvasPanel::CmdSetPriorLow; ++id)
        command(id);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_TRUE(takeLog().empty());

    // The shapes moved away since the menu opened.
    panel->m_menuPos = wxPoint(300, 150);
    command(myCanvasPanel::CmdMemoMoveTo);
    EXPECT_EQ(takeLog(), Lines{"memo not found."});
    EXPECT_EQ(panel->m_menuPos, wxPoint(-1, -1));
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(CanvasMenuTest, CommandsWithoutAMemoCallTheirOperation) {
    makeVoiceprintPanel();
    const std::pair<int, const char*> plain[] = {
        {myCanvasPanel::CmdMemoMoveLatest, "moveToLatestMemo()"},
        {myCanvasPanel::CmdMemoSort, "sortMemoByTime()"},
        {myCanvasPanel::CmdPlay, "toPlay()"},
        {myCanvasPanel::CmdStop, "toStop()"},
        {myCanvasPanel::CmdRedraw, "toRedraw()"},
        {myCanvasPanel::CmdMemoToFile, "toSaveMemoToFile()"},
        {myCanvasPanel::CmdHammingWindow, "toHammingWindow()"},
        {myCanvasPanel::CmdWidebandPhase, "toWidebandPhase()"},
        {myCanvasPanel::CmdSetRange, "setRange()"},
        {myCanvasPanel::CmdUnsetRange, "unsetRange()"},
        {myCanvasPanel::CmdVoiceprint, "toVoiceprint()"},
        {myCanvasPanel::CmdCalcPriorStats, "calcPriorStats()"},
        {myCanvasPanel::CmdCalcPitch, "calcPitch()"},
    };
    for (const auto& c : plain) {
        command(c.first);
        EXPECT_EQ(takeCalls(), Lines{c.second}) << c.first;
    }
    EXPECT_EQ(panel->m_menuPos, wxPoint(-1, -1));
}

TEST_F(CanvasMenuTest, AddingAMemoAsksForItsText) {
    makeVoiceprintPanel();
    panel->m_menuPos = wxPoint(120, 80);
    wxTEST_DIALOG(command(myCanvasPanel::CmdAddMemo),
                  ExpectTextEntry("Input memo ", "", "a vowel"));
    EXPECT_EQ(takeCalls(), Lines{"addMemo(120,80,a vowel)"});
    EXPECT_EQ(panel->m_menuPos, wxPoint(-1, -1));

    panel->m_menuPos = wxPoint(120, 80);
    wxTEST_DIALOG(command(myCanvasPanel::CmdAddMemo),
                  ExpectTextEntry("Input memo ", "", "typed", wxID_CANCEL));
    panel->m_menuPos = wxPoint(120, 80);
    wxTEST_DIALOG(command(myCanvasPanel::CmdAddMemo), ExpectTextEntry("Input memo ", "", ""));
    EXPECT_EQ(takeLog(), (Lines{"quit adding memo.", "quit adding memo."}));
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(CanvasMenuTest, DeletingAsksFirstAndNamesTheWholeGroupForATitle) {
    makeVoiceprintPanel();
    withGroup();
    Asked asked;
    panel->m_menuPos = wxPoint(21, 21);
    wxTEST_DIALOG(command(myCanvasPanel::CmdDeleteMemo), ExpectQuestion(wxID_NO, &asked));
    EXPECT_EQ(asked.message, "Delete all memo in this view ");
    EXPECT_EQ(asked.caption, "confirm");
    EXPECT_TRUE(asked.style & wxYES_NO);
    EXPECT_TRUE(asked.style & wxNO_DEFAULT);
    EXPECT_TRUE(asked.style & wxICON_INFORMATION);
    EXPECT_TRUE(takeCalls().empty()) << "No deletes nothing";

    panel->m_menuPos = wxPoint(21, 21);
    wxTEST_DIALOG(command(myCanvasPanel::CmdDeleteMemo), ExpectQuestion(wxID_YES, &asked));
    EXPECT_EQ(takeCalls(), Lines{"deleteMemo(4,0)"});

    panel->m_menuPos = wxPoint(21, 201);
    wxTEST_DIALOG(command(myCanvasPanel::CmdDeleteMemo), ExpectQuestion(wxID_YES, &asked));
    EXPECT_EQ(asked.message, "Delete memo");
    EXPECT_EQ(takeCalls(), Lines{"deleteMemo(4,2)"});
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(CanvasMenuTest, MissingListenerIsReportedWhereTheProgramCanGoOn) {
    makeVoiceprintPanel();
    withGroup();
    IProcMemoListener* kept = panel->m_memoListener;
    panel->m_memoListener = nullptr;
    panel->m_menuPos = wxPoint(21, 21);
    command(myCanvasPanel::CmdEditMemo);
    panel->m_menuPos = wxPoint(21, 21);
    command(myCanvasPanel::CmdMemoMoveNext);
    command(myCanvasPanel::CmdMemoMoveLatest);
    panel->m_menuPos = wxPoint(21, 21);
    wxTEST_DIALOG(command(myCanvasPanel::CmdAddMemo), ExpectTextEntry("Input memo ", "", "text"));
    panel->m_memoListener = kept;
    EXPECT_EQ(takeLog(), (Lines{"internal error.", "Do not save memo, please restart Vocalith.",
                                "memo not found.", "internal error.",
                                "Do not save memo, please restart Vocalith."}));
    EXPECT_TRUE(takeCalls().empty());
}
