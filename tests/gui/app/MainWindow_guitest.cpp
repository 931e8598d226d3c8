#include "support/GuiFixture.h"

TEST_F(FrameTest, StartsEmptyWithItsWelcomeChoicesMenusButtonsAndRoomForThePanels) {
    EXPECT_EQ(frame->GetTitle(), "Vocalith");
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0),
              "Welcome to wideband phase restoration application!");
    EXPECT_EQ(wxJoin(win().priorlimit()->GetStrings(), '|'), "Priority High|Priority MID|All");
    // Memos live on the main panel and its overview; the two others show the waveform.
    EXPECT_TRUE(
        inside(win().canvasPanel()).memoPanel() && inside(win().canvasPanelSub()).memoPanel() &&
        !inside(win().canvasPanelUp()).memoPanel() && !inside(win().canvasPanelSub2()).memoPanel());
    // The empty main panel says how to begin, in grey across its middle.
    const wxImage hint = win().canvasPanel()->backBuffer()->ConvertToImage();
    int grey = 0;
    for (int x = 0; x < hint.GetWidth(); ++x)
        grey += hint.GetRed(x, hint.GetHeight() / 2) < 200;
    EXPECT_GT(grey, 20);
    wxMenuBar* bar = frame->GetMenuBar();
    wxString menus;
    for (size_t i = 0; i < bar->GetMenuCount(); ++i)
        menus += bar->GetMenuLabel(i);
    EXPECT_EQ(menus + bar->FindItem(ID_Quit)->GetHelp(),
              "&File&Edit&View&Go&HelpQuit this program");

    // Every button, and the about box, reach a handler.
    // Step buttons of row 2 keep the default font; the command boxes use 6 points.
    // clang-format off
    const std::pair<int, const char*> buttons[] = {
        {ID_Read, "&ReadWave"}, {ID_Save, "&SaveMemo"}, {ID_Confirm, "&ConfirmParameter"},
        {ID_ExportWav, "&ExportWave"}, {ID_Restore, "&Redraw"}, {ID_LLLeft, "<<<"},
        {ID_LLeft, "<<"}, {ID_Left, "<"}, {ID_Rigth, ">"}, {ID_RRigth, ">>"}, {ID_RRRigth, ">>>"},
        {ID_MostLLLLeft, "|<"}, {ID_LLLLeft, "<<<<"}, {ID_RRRRigth, ">>>>"},
        {ID_PlayNonMute, "&Play"}, {ID_Stop, "&Stop"}, {ID_SearchRigth, "|>>>>>"},
        {ID_SearchLeft, "<<<<<|"}, {ID_MemoTour, "&MemoTour"}, {ID_LockMemo, "&Stop"},
        {ID_MemoTourCont, "&MemoTourContinue"}};
    // clang-format on
    for (const auto& [id, label] : buttons) {
        auto* button = wxDynamicCast(frame->FindWindow(id), wxButton);
        ASSERT_NE(button, nullptr) << label;
        EXPECT_EQ(button->GetLabel(), label);
        EXPECT_GE(button->GetSize().x, button->GetTextExtent(label).x) << label << " is cut";
        EXPECT_EQ(button->GetFont().GetPointSize() == 6, id < ID_LLLeft || id > ID_RRRRigth)
            << label;
        // A click travels from the button up to the frame (reading opens a file dialog).
        wxCommandEvent click(wxEVT_BUTTON, id);
        EXPECT_TRUE(id == ID_Read || button->ProcessWindowEvent(click));
    }

    wxCommandEvent about(wxEVT_MENU, ID_About);
    wxTEST_DIALOG(frame->ProcessWindowEvent(about), wxExpectModal<wxMessageDialog>(wxID_OK));

    // The layout keeps its minimum and gives extra room to the panels.
    frame->SetClientSize(200, 200);
    pumpEvents();
    EXPECT_TRUE(win().panel()->GetSize().x >= 900 && win().panel()->GetSize().y >= 750);
    const wxSize start = frame->GetClientSize(), panel = win().canvasPanel()->GetSize();
    frame->SetClientSize(start.x + 300, start.y + 200);
    ASSERT_TRUE(pumpUntil([&] { return win().canvasPanel()->GetSize() != panel; }));
    EXPECT_EQ(win().canvasPanel()->GetSize() - panel, frame->GetClientSize() - start);
}

TEST(Startup, OnlyASingleArgumentIsOpenedAndLoggedFirst) {
    const auto pathOf = [](const char* words) { return MyApp::startupPath(wxSplit(words, ' ')); };
    EXPECT_EQ(pathOf("vocalith") + pathOf("vocalith a.wav b.wav"), "");
    EXPECT_EQ(pathOf("vocalith talk.wav"), "talk.wav");

    MyFrame* frame = static_cast<GuiTestApp&>(wxGetApp()).openFrame("/nowhere/talk.wav");
    wxLog::FlushActive();
    EXPECT_EQ(logLines(inside(frame).lboxLog()),
              (Lines{"command line param = /nowhere/talk.wav", "/nowhere/talk.wav read.",
                     "wave file reading failed.", "no such file."}));
    frame->Destroy();
    pumpEvents();
}
