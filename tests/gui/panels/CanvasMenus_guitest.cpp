#include <memory>

#include <wx/textdlg.h>

#include "gui/panels/CanvasPanelFixture.h"
#include "support/Dialogs.h"

namespace {

// Items top to bottom, "—" for a separator, each with its command id.
Lines itemsOf(const wxMenu* menu) {
    Lines items;
    for (const wxMenuItem* item : menu->GetMenuItems())
        items.push_back(item->IsSeparator() ? "—"
                                            : item->GetItemLabel().utf8_string() + " #" +
                                                  std::to_string(item->GetId()));
    return items;
}

// The items of a menu just built, which is then freed.
Lines built(wxMenu* raw) {
    std::unique_ptr<wxMenu> menu(raw);
    return menu ? itemsOf(menu.get()) : Lines{"(none)"};
}

} // namespace

class CanvasMenuTest : public CanvasPanelTest {
protected:
    Lines mainMenu(wxPoint pos) { return built(panel->buildContextMenu(pos)); }
    // A right press through the mouse handler; the menu that opens is read and dismissed.
    Lines rightPress(wxPoint pos) {
        Lines shown{"(none)"};
        auto onOpen = [&](wxMenuEvent& event) {
            if (event.GetMenu())
                shown = itemsOf(event.GetMenu());
            panel->CallAfter([] { wxUIActionSimulator().Char(WXK_ESCAPE); });
        };
        panel->Bind(wxEVT_MENU_OPEN, onOpen);
        mouse(wxEVT_RIGHT_DOWN, pos, true);
        panel->Unbind(wxEVT_MENU_OPEN, onOpen);
        return shown;
    }

    // A title memo and a term memo of group 4.
    void withGroup() {
        addShape("title", wxPoint(20, 20), 4, 0);
        addShape("term", wxPoint(20, 200), 4, 2);
    }
};

TEST_F(CanvasMenuTest, MenusOfEachPlotAndPlace) {
    makeVoiceprintPanel();
    EXPECT_EQ(mainMenu({300, 150}), (Lines{"&AddMemo #0", "—", "&Save memo #15", "—",
                                           "&Display Standard(using HammingWindow) result #16", "—",
                                           "&Back to latest memo #4", "—", "&Pitch Detection #25",
                                           "—", "Priority Stats #24"}));
    panel->m_voiceprintMethod = 1;
    EXPECT_EQ(mainMenu({300, 150})[4], "&Display WidebandPhaseRestoration result #17");
    // The level spectrum offers the voiceprint only while it has no memo.
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

    panel->m_plotKind = 2;
    EXPECT_EQ(mainMenu({21, 21}),
              (Lines{"&Show next memo #5", "&Show previous memo #6", "—", "&Edit memo #1",
                     "Delete memo #2", "—", "Set Priority to High #21", "Set Priority to Mid #22",
                     "Set Priority to Low #23"}));
    EXPECT_EQ(mainMenu({21, 201}), (Lines{"&Edit memo #1", "Delete memo #2"}));
    // Any other plot: the title offers moving and priorities only.
    panel->m_plotKind = 0;
    EXPECT_EQ(mainMenu({21, 21}), (Lines{"&Show next memo #5", "&Show previous memo #6", "—",
                                         "Set Priority to High #21", "Set Priority to Mid #22",
                                         "Set Priority to Low #23"}));

    // The overview and the waveform panel.
    EXPECT_EQ(built(panel->buildContextMenuTitle({21, 21})),
              (Lines{"&Show this memo #3", "—", "&Move this memo to list first #10",
                     "&Move this memo to list last #11"}));
    EXPECT_EQ(built(panel->buildContextMenuTitle({300, 200})), Lines{"&Sort memo list by time #9"});
    EXPECT_EQ(built(panel->buildContextMenuToPlay()),
              (Lines{"&Play #12", "&Stop #13", "—", "&Zoom #18", "&Unset zoom #19", "—",
                     "&Voiceprint #20"}));

    // A stale picture offers only a redraw, wherever the press was.
    panel->SetSize(0, 0, 500, 300);
    panel->m_plotKind = 2;
    EXPECT_EQ(mainMenu({300, 150}), Lines{"&Redraw #14"});
    EXPECT_EQ(mainMenu({21, 201}), Lines{"&Redraw #14"});
    EXPECT_EQ(built(panel->buildContextMenuTitle({21, 21})), Lines{"&Redraw #14"});
    EXPECT_EQ(built(panel->buildContextMenuToPlay()), Lines{"&Redraw #14"});
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

TEST_F(CanvasMenuTest, CommandsCallTheirOperationWithTheShapeUnderTheMenu) {
    makeVoiceprintPanel();
    withGroup();
    using M = myCanvasPanel;
    // By command id (adding and deleting ask first: below). Memo commands are given the title
    // under the menu and use up the remembered place; the others leave it.
    // clang-format off
    const Lines calls = {
        "", "editMemo(4,0)", "", "moveToMemo(4)", "moveToLatestMemo()", "moveNextMemo(4)",
        "movePreviousMemo(4)", "restoreMemo(4)", "replaceMemo(4)", "sortMemoByTime()",
        "moveMemoToFirst(4)", "moveMemoToLast(4)", "toPlay()", "toStop()", "toRedraw()",
        "toSaveMemoToFile()", "toHammingWindow()", "toWidebandPhase()", "setRange()",
        "unsetRange()", "toVoiceprint()", "setProirSubTitle(4,0)", "setProirSubTitle(4,1)",
        "setProirSubTitle(4,2)", "calcPriorStats()", "calcPitch()"};
    // clang-format on
    ASSERT_EQ(calls.size(), size_t(M::CmdCalcPitch) + 1);
    for (int id = 0; id < int(calls.size()); ++id) {
        if (calls[id].empty())
            continue;
        panel->m_menuPos = wxPoint(21, 21);
        command(id);
        EXPECT_EQ(takeCalls(), Lines{calls[id]}) << id;
        EXPECT_EQ(panel->m_menuPos != wxPoint(21, 21), calls[id].find("(4") != std::string::npos)
            << id;
    }
    panel->m_menuPos = wxPoint(22, 202);
    command(M::CmdEditMemo);
    EXPECT_EQ(takeCalls(), Lines{"editMemo(4,2)"});
    EXPECT_TRUE(takeLog().empty());

    // Nothing remembered: nothing done, nothing said.
    for (int id = M::CmdAddMemo; id <= M::CmdMemoToLast; ++id)
        if (id != M::CmdMemoMoveLatest && id != M::CmdMemoSort)
            command(id);
    for (int id = M::CmdSetPriorHigh; id <= M::CmdSetPriorLow; ++id)
        command(id);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_TRUE(takeLog().empty());

    // The shapes moved away since the menu opened.
    panel->m_menuPos = wxPoint(300, 150);
    command(M::CmdMemoMoveTo);
    EXPECT_EQ(takeLog(), Lines{"memo not found."});
    EXPECT_EQ(panel->m_menuPos, wxPoint(-1, -1));
    EXPECT_TRUE(takeCalls().empty());
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
    const long style = wxYES_NO | wxNO_DEFAULT | wxICON_INFORMATION;
    panel->m_menuPos = wxPoint(21, 21);
    wxTEST_DIALOG(command(myCanvasPanel::CmdDeleteMemo), ExpectQuestion(wxID_NO, &asked));
    EXPECT_EQ(asked.message, "Delete all memo in this view ");
    EXPECT_EQ(asked.caption, "confirm");
    EXPECT_EQ(asked.style & style, style);
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
