#include <wx/uiaction.h>

#include "gui/panels/CanvasPanelFixture.h"
#include "support/Dialogs.h"

// The voiceprint panel with a title memo and a term memo of group 4: the commands given from its
// menus, then the menus each panel, plot and place opens.
TEST_F(CanvasPanelTest, ContextMenusAndTheirCommands) {
    makePanel();
    addShape("title", wxPoint(20, 20), 4, 0);
    addShape("term", wxPoint(20, 200), 4, 2);
    using M = myCanvasPanel;
    // By command id (adding and deleting ask first: further down). Memo commands are given the
    // title under the menu and use up the remembered place: given again without a new menu, they
    // do nothing and say nothing, where the others run again.
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
        command(id, {21, 21});
        command(id, inside(panel).menuPos());
        const bool memo = calls[id].find("(4") != std::string::npos;
        EXPECT_EQ(take(), (memo ? Lines{calls[id]} : Lines{calls[id], calls[id]})) << id;
    }
    // A term under the menu is given as itself; with nothing remembered, adding and deleting ask
    // nothing; a place whose shape has moved away since the menu opened finds no memo.
    command(M::CmdEditMemo, {22, 202});
    command(M::CmdAddMemo);
    command(M::CmdDeleteMemo);
    command(M::CmdMemoMoveTo, {300, 150});
    EXPECT_EQ(take(), (Lines{"editMemo(4,2)", "memo not found."}));

    // Adding and deleting ask first.
    wxTEST_DIALOG(command(M::CmdAddMemo, {120, 80}),
                  ExpectTextEntry("Input memo ", "", "typed", wxID_CANCEL));
    wxTEST_DIALOG(command(M::CmdAddMemo, {120, 80}), ExpectTextEntry("Input memo ", "", "a vowel"));
    EXPECT_EQ(take(), (Lines{"quit adding memo.", "addMemo(120,80,a vowel)"}));

    // A title stands for its whole group; No deletes nothing.
    Asked asked;
    wxTEST_DIALOG(command(M::CmdDeleteMemo, {21, 21}), ExpectQuestion(wxID_NO, &asked));
    EXPECT_EQ(asked.message + "|" + asked.caption, "Delete all memo in this view |confirm");
    EXPECT_EQ(asked.style & (wxYES_NO | wxNO_DEFAULT), wxYES_NO | wxNO_DEFAULT);
    wxTEST_DIALOG(command(M::CmdDeleteMemo, {21, 201}), ExpectQuestion(wxID_YES, &asked));
    EXPECT_EQ(asked.message, "Delete memo");
    EXPECT_EQ(take(), Lines{"deleteMemo(4,2)"});

    // Without a listener: reported where the program can go on.
    inside(panel).memoListener() = nullptr;
    command(M::CmdEditMemo, {21, 21});
    command(M::CmdMemoMoveNext, {21, 21});
    wxTEST_DIALOG(command(M::CmdDeleteMemo, {21, 201}), ExpectQuestion(wxID_YES, &asked));
    const std::string lost[] = {"internal error.", "Do not save memo, please restart Vocalith."};
    EXPECT_EQ(take(), (Lines{lost[0], lost[1], "memo not found.", lost[0], lost[1]}));

    // A menu's items top to bottom as "label#id", "-" for a separator, joined by "|".
    const auto itemsOf = [](const wxMenu* menu) {
        std::string items;
        for (const wxMenuItem* item : menu->GetMenuItems())
            items += "|" + (item->IsSeparator() ? "-"
                                                : item->GetItemLabel().utf8_string() + "#" +
                                                      std::to_string(item->GetId()));
        return items.erase(0, 1);
    };
    const std::string kMoves = "&Show next memo#5|&Show previous memo#6|-|",
                      kPriorities =
                          "Set Priority to High#21|Set Priority to Mid#22|Set Priority to Low#23",
                      kTermMenu = "&Edit memo#1|Delete memo#2";
    const auto menuAt = [&](int x, int y) {
        return itemsOf(std::unique_ptr<wxMenu>(panel->buildContextMenu({x, y})).get());
    };
    // A right press through the mouse handler; the menu that opens is read and dismissed.
    const auto rightPress = [&](int x, int y) {
        std::string shown = "(none)";
        auto onOpen = [&](wxMenuEvent& event) {
            shown = itemsOf(event.GetMenu());
            panel->CallAfter([] { wxUIActionSimulator().Char(WXK_ESCAPE); });
        };
        panel->Bind(wxEVT_MENU_OPEN, onOpen);
        mouse(wxEVT_RIGHT_DOWN, {x, y});
        panel->Unbind(wxEVT_MENU_OPEN, onOpen);
        return shown;
    };
    EXPECT_EQ(menuAt(21, 21), kMoves + kTermMenu + "|-|" + kPriorities);
    EXPECT_EQ(menuAt(21, 201), kTermMenu);
    // The voiceprint offers the method not shown; the level spectrum the voiceprint only
    // while it has no memo.
    inside(panel).voiceprintMethod() = 1;
    EXPECT_EQ(menuAt(300, 150), "&AddMemo#0|-|&Save memo#15|-|&Display WidebandPhaseRestoration "
                                "result#17|-|&Back to latest memo#4|-|&Pitch Detection#25|-|"
                                "Priority Stats#24");
    inside(panel).plotKind() = plotLevelSpectrum;
    const std::string level = "&Play#12|&Stop#13|-|&Back to latest memo#4|-|&Save memo#15|-|";
    EXPECT_EQ(menuAt(300, 150), level + "Priority Stats#24");
    EXPECT_EQ(menuAt(21, 21),
              kMoves + "&Edit memo#1|-|&Show all memo in this view.#7|-|" + kPriorities);
    EXPECT_EQ(rightPress(21, 201), "(none)") << "a term memo opens no menu here";
    EXPECT_EQ(inside(panel).menuPos(), wxPoint(21, 201)) << "the main panel keeps the place";
    panel->ClearShapes();
    EXPECT_EQ(menuAt(300, 150), level + "&Voiceprint#20|-|Priority Stats#24");

    // The overview keeps the place only on a shape, the waveform panel never.
    addShape("title", wxPoint(20, 20), 4, 0);
    inside(panel).plotKind() = plotWaveform;
    EXPECT_EQ(rightPress(21, 21), "&Show this memo#3|-|&Move this memo to list first#10|&Move "
                                  "this memo to list last#11");
    EXPECT_EQ(rightPress(300, 150), "&Sort memo list by time#9");
    inside(panel).memoPanel() = inside(panel).subPlot() = 0;
    EXPECT_EQ(rightPress(300, 150), "&Play#12|&Stop#13|-|&Zoom#18|&Unset zoom#19|-|&Voiceprint#20");
    EXPECT_EQ(inside(panel).menuPos(), wxPoint(21, 21));

    // A stale picture offers only a redraw, and says so.
    panel->SetSize(0, 0, 500, 300);
    EXPECT_EQ(rightPress(300, 150) + menuAt(300, 150), "&Redraw#14&Redraw#14");
    EXPECT_EQ(take(), Lines{kStale});
}
