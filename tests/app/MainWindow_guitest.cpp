#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include "app/LboxLogger.h"
#include "support/GuiFixture.h"

namespace {

// Reaches the frame's static event table, which the toolkit keeps protected.
struct EventTableAccess : MyFrame {
    static const wxEventTable& table() { return sm_eventTable; }
};

wxEventFunction methodFor(int id, wxEventType type) {
    for (const wxEventTableEntry* e = EventTableAccess::table().entries; e->m_fn; ++e)
        if (e->m_id == id && e->m_eventType == type)
            return e->m_fn->GetEvtMethod();
    return nullptr;
}

} // namespace

TEST_F(FrameTest, StartsEmptyWithTheDesignedControls) {
    EXPECT_EQ(frame->GetTitle(), "Vocalith");
    EXPECT_EQ(frame->GetStatusBar()->GetFieldsCount(), 2);
    EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0),
              "Welcome to wideband phase restoration application!");
    EXPECT_EQ(frame->m_jumptext->GetValue(), "441000");
    EXPECT_EQ(frame->m_priorlimit->GetCount(), 3u);
    EXPECT_EQ(frame->m_priorlimit->GetString(0), "Priority High");
    EXPECT_EQ(frame->m_priorlimit->GetString(1), "Priority MID");
    EXPECT_EQ(frame->m_priorlimit->GetString(2), "All");
    EXPECT_EQ(frame->m_priorlimit->GetSelection(), 0);
    EXPECT_EQ(frame->m_lboxLog->GetCount(), 0u);
    EXPECT_TRUE(frame->m_text->IsEmpty());
    EXPECT_TRUE(frame->m_filenametext->IsEmpty());
    EXPECT_FALSE(frame->m_filenametext->IsEditable());
    EXPECT_FALSE(frame->m_postext->IsEditable());
    EXPECT_EQ(frame->m_slider->GetMin(), 0);
    EXPECT_EQ(frame->m_slider->GetMax(), 1000);
    EXPECT_EQ(frame->m_slider->GetValue(), 0);
    for (wxCheckBox* box : {frame->m_playRepeat, frame->m_playNoSpect, frame->m_playMute,
                            frame->m_containSsft, frame->m_containBlank})
        EXPECT_FALSE(box->GetValue()) << box->GetLabel();
    EXPECT_EQ(frame->m_canvasPanel->m_memoPanel, 1);
    EXPECT_EQ(frame->m_canvasPanelSub->m_memoPanel, 1);
    EXPECT_EQ(frame->m_canvasPanelUp->m_memoPanel, 0);
    EXPECT_EQ(frame->m_canvasPanelSub2->m_memoPanel, 0);
    EXPECT_EQ(frame->m_curTitle, -1);
    EXPECT_EQ(frame->m_prevTitle, -1);
    EXPECT_FALSE(frame->m_tourRunning);
    EXPECT_FALSE(frame->m_refreshTimer->IsRunning());
    EXPECT_EQ(frame->m_refreshTimer->GetId(), ID_RefreshTimer);
    EXPECT_EQ(wxLog::GetActiveTarget(), frame->m_logger);
    EXPECT_EQ(frame->m_text->GetFont().GetPointSize(), 9);
    EXPECT_EQ(frame->m_lboxLog->GetFont().GetPointSize(), 9);
    EXPECT_EQ(frame->m_priorlimit->GetFont().GetPointSize(), 6);

    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->GetMenuCount(), 2u);
    EXPECT_EQ(bar->GetMenuLabel(0), "&File");
    EXPECT_EQ(bar->GetMenuLabel(1), "&Help");
    EXPECT_EQ(bar->FindItem(ID_Quit)->GetItemLabel(), "&Quit");
    EXPECT_EQ(bar->FindItem(ID_Quit)->GetHelp(), "Quit this program");
    EXPECT_EQ(bar->FindItem(ID_About)->GetHelp(), "Show about dialog");
}

TEST_F(FrameTest, ButtonsCarryTheirLabelsAndFonts) {
    const std::pair<int, const char*> buttons[] = {
        {ID_Read, "&ReadWave"},
        {ID_Save, "&SaveMemo"},
        {ID_Confirm, "&ConfirmParameter"},
        {ID_ExportWav, "&ExportWave"},
        {ID_Restore, "&Redraw"},
        {ID_LLLeft, "<<<"},
        {ID_LLeft, "<<"},
        {ID_Left, "<"},
        {ID_Rigth, ">"},
        {ID_RRigth, ">>"},
        {ID_RRRigth, ">>>"},
        {ID_MostLLLLeft, "|<"},
        {ID_LLLLeft, "<<<<"},
        {ID_RRRRigth, ">>>>"},
        {ID_PlayNonMute, "&Play"},
        {ID_Stop, "&Stop"},
        {ID_SearchRigth, "|>>>>>"},
        {ID_SearchLeft, "<<<<<|"},
        {ID_MemoTour, "&MemoTour"},
        {ID_LockMemo, "&Stop"},
        {ID_MemoTourCont, "&MemoTourContinue"},
    };
    for (const auto& [id, label] : buttons) {
        auto* button = wxDynamicCast(frame->FindWindow(id), wxButton);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->GetLabel(), label) << id;
        // Step buttons of row 2 keep the default font; the command boxes use 6 points.
        const bool stepButton = id >= ID_LLLeft && id <= ID_RRRRigth;
        EXPECT_EQ(button->GetFont().GetPointSize() == 6, !stepButton) << label;
    }
}

TEST_F(FrameTest, EveryIdReachesItsHandler) {
    using F = MyFrame;
    const struct {
        int id;
        wxEventType type;
        wxEventFunction method;
    } routes[] = {
        {ID_Quit, wxEVT_MENU, wxCommandEventHandler(F::OnQuit)},
        {ID_About, wxEVT_MENU, wxCommandEventHandler(F::OnAbout)},
        {ID_Read, wxEVT_BUTTON, wxCommandEventHandler(F::OnRead)},
        {ID_Save, wxEVT_BUTTON, wxCommandEventHandler(F::OnSave)},
        {ID_Restore, wxEVT_BUTTON, wxCommandEventHandler(F::OnRestore)},
        {ID_Confirm, wxEVT_BUTTON, wxCommandEventHandler(F::OnConfirm)},
        {ID_CalcSSFT, wxEVT_BUTTON, wxCommandEventHandler(F::OnCalcSSFT)},
        {ID_ExportWav, wxEVT_BUTTON, wxCommandEventHandler(F::OnExportWav)},
        {ID_SearchLeft, wxEVT_BUTTON, wxCommandEventHandler(F::OnSearchLeft)},
        {ID_SearchRigth, wxEVT_BUTTON, wxCommandEventHandler(F::OnSearchRigth)},
        {ID_LLLeft, wxEVT_BUTTON, wxCommandEventHandler(F::OnLLLeft)},
        {ID_LLeft, wxEVT_BUTTON, wxCommandEventHandler(F::OnLLeft)},
        {ID_Left, wxEVT_BUTTON, wxCommandEventHandler(F::OnLeft)},
        {ID_Rigth, wxEVT_BUTTON, wxCommandEventHandler(F::OnRigth)},
        {ID_RRigth, wxEVT_BUTTON, wxCommandEventHandler(F::OnRRigth)},
        {ID_RRRigth, wxEVT_BUTTON, wxCommandEventHandler(F::OnRRRigth)},
        {ID_MostLLLLeft, wxEVT_BUTTON, wxCommandEventHandler(F::OnMostLLLLeft)},
        {ID_LLLLeft, wxEVT_BUTTON, wxCommandEventHandler(F::OnLLLLeft)},
        {ID_RRRRigth, wxEVT_BUTTON, wxCommandEventHandler(F::OnRRRRigth)},
        {ID_PlayNonMute, wxEVT_BUTTON, wxCommandEventHandler(F::OnPlayNonMute)},
        {ID_Stop, wxEVT_BUTTON, wxCommandEventHandler(F::OnStop)},
        {ID_LockMemo, wxEVT_BUTTON, wxCommandEventHandler(F::OnLockMemo)},
        {ID_MemoTour, wxEVT_BUTTON, wxCommandEventHandler(F::OnMemoTour)},
        {ID_MemoTourCont, wxEVT_BUTTON, wxCommandEventHandler(F::OnMemoTourCont)},
        {ID_WorkerEvent, wxEVT_MENU, wxCommandEventHandler(F::OnWorkerEvent)},
        {ID_MoveToMemoSsft, wxEVT_MENU, wxCommandEventHandler(F::moveToMemoSsftFromEvent)},
        {ID_MoveToMemo, wxEVT_MENU, wxCommandEventHandler(F::moveToMemoFromEvent)},
    };
    for (const auto& r : routes) {
        EXPECT_EQ(methodFor(r.id, r.type), r.method) << r.id;
        if (r.id == ID_Quit || r.id == ID_About)
            continue; // dispatched for real in their own tests
        wxCommandEvent event(r.type, r.id);
        event.SetEventObject(frame);
        if (r.id == ID_Read) {
            bool handled = false;
            wxTEST_DIALOG(handled = frame->ProcessWindowEvent(event),
                          wxExpectModal<wxFileDialog>("", wxID_CANCEL));
            EXPECT_TRUE(handled);
            continue;
        }
        EXPECT_TRUE(frame->ProcessWindowEvent(event)) << "unhandled id " << r.id;
    }

    // Every kind of slider movement goes to one handler.
    for (wxEventType type :
         {wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN,
          wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK,
          wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_CHANGED}) {
        EXPECT_EQ(methodFor(ID_Slider, type), wxScrollEventHandler(F::OnSlider)) << type;
        wxScrollEvent event(type, ID_Slider);
        event.SetEventObject(frame->m_slider);
        EXPECT_TRUE(frame->m_slider->ProcessWindowEvent(event)) << type;
    }
    EXPECT_EQ(methodFor(ID_RefreshTimer, wxEVT_TIMER), wxTimerEventHandler(F::OnRefreshInfo));
    wxTimerEvent tick(*frame->m_refreshTimer);
    EXPECT_TRUE(frame->ProcessWindowEvent(tick));

    // An ID nobody owns stays unhandled, so the checks above can fail.
    wxCommandEvent stray(wxEVT_BUTTON, 5034);
    EXPECT_FALSE(frame->ProcessWindowEvent(stray));
}

TEST_F(FrameTest, AboutBoxAndQuit) {
    wxCommandEvent about(wxEVT_MENU, ID_About);
    wxTEST_DIALOG(frame->ProcessWindowEvent(about), wxExpectModal<wxMessageDialog>(wxID_OK));

    wxCommandEvent quit(wxEVT_MENU, ID_Quit);
    ASSERT_TRUE(frame->ProcessWindowEvent(quit));
    // A forced close cannot be vetoed: the frame is queued for deletion at once.
    EXPECT_TRUE(wxPendingDelete.Member(frame));
    frame = nullptr;
    pumpEvents();
}

TEST_F(FrameTest, CannotShrinkBelowTheLayout) {
    frame->SetClientSize(200, 200);
    pumpEvents();
    EXPECT_GE(frame->m_panel->GetSize().x, 900);
    EXPECT_GE(frame->m_panel->GetSize().y, 750);
    EXPECT_EQ(frame->m_panel->GetSize(), frame->GetClientSize());
}

TEST_F(FrameTest, ExtraHeightGoesToTheMainPanelOnly) {
    const wxSize start = frame->GetClientSize();
    wxWindow* rows[] = {frame->m_filenametext,   frame->m_slider,  frame->m_canvasPanelUp,
                        frame->m_canvasPanelSub, frame->m_lboxLog, frame->m_priorlimit};
    std::vector<int> heights;
    for (wxWindow* w : rows)
        heights.push_back(w->GetSize().y);
    const int mainHeight = frame->m_canvasPanel->GetSize().y;
    const int postWidth = frame->m_postext->GetSize().x;
    const int jumpWidth = frame->m_jumptext->GetSize().x;
    const int subWidth = frame->m_canvasPanelSub->GetSize().x;
    const int logWidth = frame->m_lboxLog->GetSize().x;

    frame->SetClientSize(start.x + 300, start.y + 200);
    ASSERT_TRUE(pumpUntil([&] { return frame->m_canvasPanel->GetSize().y != mainHeight; }));
    const wxSize grown = frame->GetClientSize();
    ASSERT_EQ(frame->m_panel->GetSize(), grown);
    const int extraH = grown.y - start.y;
    const int extraW = grown.x - start.x;
    ASSERT_GT(extraH, 0);
    ASSERT_GT(extraW, 0);

    EXPECT_EQ(frame->m_canvasPanel->GetSize().y, mainHeight + extraH);
    for (size_t i = 0; i < heights.size(); ++i)
        EXPECT_EQ(rows[i]->GetSize().y, heights[i]) << i;
    // Width: row 1's extra goes to the overview panels, row 2's is shared by the two
    // text boxes, and the boxes of row 7 keep theirs.
    EXPECT_EQ(frame->m_canvasPanelSub->GetSize().x, subWidth + extraW);
    EXPECT_EQ(frame->m_postext->GetSize().x + frame->m_jumptext->GetSize().x,
              postWidth + jumpWidth + extraW);
    EXPECT_LE(std::abs((frame->m_postext->GetSize().x - postWidth) -
                       (frame->m_jumptext->GetSize().x - jumpWidth)),
              1);
    EXPECT_EQ(frame->m_lboxLog->GetSize().x, logWidth);
    EXPECT_EQ(frame->m_canvasPanel->GetSize().x, frame->m_panel->GetSize().x);
}

TEST(StartupPath, OnlyASingleArgumentIsOpened) {
    wxArrayString args;
    args.push_back("vocalith");
    EXPECT_EQ(MyApp::startupPath(args), "");
    args.push_back("talk.wav");
    EXPECT_EQ(MyApp::startupPath(args), "talk.wav");
    args.push_back("other.wav");
    EXPECT_EQ(MyApp::startupPath(args), "");
}

TEST(Startup, OneArgumentIsLoggedFirst) {
    MyFrame* frame = static_cast<GuiTestApp&>(wxGetApp()).openFrame("/nowhere/talk.wav");
    wxLog::FlushActive();
    const auto lines = logLines(frame->m_lboxLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "command line param = /nowhere/talk.wav");
    EXPECT_EQ(lines.back(), "wave file reading failed.") << "opened as the file dialog would";
    EXPECT_EQ(frame->m_waveFileName, "/nowhere/talk.wav");
    EXPECT_EQ(frame->m_chosenFileName, "/nowhere/talk.wav");
    frame->Destroy();
    pumpEvents();
}
