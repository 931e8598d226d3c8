#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include "support/GuiFixture.h"

TEST_F(FrameTest, StartsEmptyWithItsWelcomeChoicesAndMenus) {
    EXPECT_EQ(frame->GetTitle(), "Vocalith");
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0),
              "Welcome to wideband phase restoration application!");
    EXPECT_EQ(wxJoin(frame->m_priorlimit->GetStrings(), '|'), "Priority High|Priority MID|All");
    EXPECT_FALSE(frame->m_filenametext->IsEditable() || frame->m_postext->IsEditable());
    // Memos live on the main panel and its overview; the two others show the waveform.
    EXPECT_EQ((std::vector<int>{
                  frame->m_canvasPanel->m_memoPanel, frame->m_canvasPanelSub->m_memoPanel,
                  frame->m_canvasPanelUp->m_memoPanel, frame->m_canvasPanelSub2->m_memoPanel}),
              (std::vector<int>{1, 1, 0, 0}));
    wxMenuBar* bar = frame->GetMenuBar();
    EXPECT_EQ(bar->GetMenuLabel(0) + bar->GetMenuLabel(1), "&File&Help");
    EXPECT_EQ(bar->FindItem(ID_Quit)->GetHelp() + "|" + bar->FindItem(ID_About)->GetHelp(),
              "Quit this program|Show about dialog");
}

TEST_F(FrameTest, EveryButtonAndEventReachesAHandler) {
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
        SCOPED_TRACE(label);
        auto* button = wxDynamicCast(frame->FindWindow(id), wxButton);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->GetLabel(), label);
        EXPECT_EQ(button->GetFont().GetPointSize() == 6, id < ID_LLLeft || id > ID_RRRRigth);
        // A click travels from the button up to the frame.
        wxCommandEvent click(wxEVT_BUTTON, id);
        bool handled = false;
        if (id == ID_Read) {
            wxTEST_DIALOG(handled = button->ProcessWindowEvent(click),
                          wxExpectModal<wxFileDialog>("", wxID_CANCEL));
        } else {
            handled = button->ProcessWindowEvent(click);
        }
        EXPECT_TRUE(handled);
    }
    for (int id : {ID_CalcSSFT, ID_WorkerEvent, ID_MoveToMemoSsft, ID_MoveToMemo}) {
        wxCommandEvent event(id == ID_CalcSSFT ? wxEVT_BUTTON : wxEVT_MENU, id);
        EXPECT_TRUE(frame->ProcessWindowEvent(event)) << id;
    }
    for (wxEventType type : {wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_THUMBTRACK, wxEVT_SCROLL_CHANGED}) {
        wxScrollEvent event(type, ID_Slider);
        EXPECT_TRUE(frame->m_slider->ProcessWindowEvent(event)) << type;
    }
    wxTimerEvent tick(*frame->m_refreshTimer);
    EXPECT_TRUE(frame->ProcessWindowEvent(tick));
    // An ID nobody owns stays unhandled, so the checks above can fail.
    wxCommandEvent stray(wxEVT_BUTTON, 5034);
    EXPECT_FALSE(frame->ProcessWindowEvent(stray));

    wxCommandEvent about(wxEVT_MENU, ID_About), quit(wxEVT_MENU, ID_Quit);
    wxTEST_DIALOG(frame->ProcessWindowEvent(about), wxExpectModal<wxMessageDialog>(wxID_OK));
    ASSERT_TRUE(frame->ProcessWindowEvent(quit));
    // A forced close cannot be vetoed: the frame is queued for deletion at once.
    EXPECT_TRUE(wxPendingDelete.Member(frame));
    frame = nullptr;
    pumpEvents();
}

TEST_F(FrameTest, LayoutKeepsItsMinimumAndGivesExtraRoomToThePanels) {
    frame->SetClientSize(200, 200);
    pumpEvents();
    EXPECT_TRUE(frame->m_panel->GetSize().x >= 900 && frame->m_panel->GetSize().y >= 750);
    EXPECT_EQ(frame->m_panel->GetSize(), frame->GetClientSize());

    // Height goes to the main panel. Width: row 1's extra goes to the overview panels, row
    // 2's is shared by the two text boxes, and the boxes of row 7 keep theirs.
    wxWindow* const rows[] = {frame->m_filenametext,   frame->m_slider,  frame->m_canvasPanelUp,
                              frame->m_canvasPanelSub, frame->m_lboxLog, frame->m_priorlimit};
    const auto sizes = [&] {
        std::vector<int> s{frame->m_canvasPanel->GetSize().x,    frame->m_canvasPanel->GetSize().y,
                           frame->m_canvasPanelSub->GetSize().x, frame->m_postext->GetSize().x,
                           frame->m_jumptext->GetSize().x,       frame->m_lboxLog->GetSize().x};
        for (wxWindow* w : rows)
            s.push_back(w->GetSize().y);
        return s;
    };
    const wxSize start = frame->GetClientSize();
    std::vector<int> expected = sizes();
    frame->SetClientSize(start.x + 300, start.y + 200);
    ASSERT_TRUE(pumpUntil([&] { return sizes()[1] != expected[1]; }));
    const wxSize extra = frame->GetClientSize() - start;
    ASSERT_TRUE(extra.x > 0 && extra.y > 0);
    const std::vector<int> now = sizes();
    const int postGrowth = now[3] - expected[3];
    EXPECT_LE(std::abs(2 * postGrowth - extra.x), 1) << "shared within a pixel";
    expected[0] += extra.x;
    expected[1] += extra.y;
    expected[2] += extra.x;
    expected[3] += postGrowth;
    expected[4] += extra.x - postGrowth;
    EXPECT_EQ(now, expected);
}

TEST(Startup, OnlyASingleArgumentIsOpenedAndLoggedFirst) {
    const auto pathOf = [](std::vector<wxString> words) {
        return MyApp::startupPath(wxArrayString(words.size(), words.data()));
    };
    EXPECT_EQ(pathOf({"vocalith"}) + pathOf({"vocalith", "a.wav", "b.wav"}), "");
    EXPECT_EQ(pathOf({"vocalith", "talk.wav"}), "talk.wav");

    MyFrame* frame = static_cast<GuiTestApp&>(wxGetApp()).openFrame("/nowhere/talk.wav");
    wxLog::FlushActive();
    const auto lines = logLines(frame->m_lboxLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "command line param = /nowhere/talk.wav");
    EXPECT_EQ(lines.back(), "wave file reading failed.") << "opened as the file dialog would";
    EXPECT_EQ(frame->m_waveFileName + "|" + frame->m_chosenFileName,
              "/nowhere/talk.wav|/nowhere/talk.wav");
    frame->Destroy();
    pumpEvents();
}
