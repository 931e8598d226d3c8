#include <wx/filename.h>

#include "gui/frame/MyFrame.h"

#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/statbox.h>

#include "engine/analysis/CWorkMemory.h"
#include "gui/app/LboxLogger.h"
#include "gui/app/Require.h"
#include "engine/sound/CWavPara.h"
#include "gui/app/vocalith.xpm"

// clang-format off
wxBEGIN_EVENT_TABLE(MyFrame, wxFrame)
    EVT_CLOSE(MyFrame::OnClose)
    EVT_SIZE(MyFrame::OnSize)
    EVT_BUTTON(ID_Read, MyFrame::OnRead)
    EVT_BUTTON(ID_Save, MyFrame::OnSave)
    EVT_BUTTON(ID_Restore, MyFrame::OnRestore)
    EVT_BUTTON(ID_Confirm, MyFrame::OnConfirm)
    EVT_BUTTON(ID_CalcSSFT, MyFrame::OnCalcSSFT)
    EVT_BUTTON(ID_ExportWav, MyFrame::OnExportWav)
    EVT_BUTTON(ID_SearchLeft, MyFrame::OnSearchLeft)
    EVT_BUTTON(ID_SearchRigth, MyFrame::OnSearchRigth)
    EVT_BUTTON(ID_LLLeft, MyFrame::OnLLLeft)
    EVT_BUTTON(ID_LLeft, MyFrame::OnLLeft)
    EVT_BUTTON(ID_Left, MyFrame::OnLeft)
    EVT_BUTTON(ID_Rigth, MyFrame::OnRigth)
    EVT_BUTTON(ID_RRigth, MyFrame::OnRRigth)
    EVT_BUTTON(ID_RRRigth, MyFrame::OnRRRigth)
    EVT_BUTTON(ID_MostLLLLeft, MyFrame::OnMostLLLLeft)
    EVT_BUTTON(ID_LLLLeft, MyFrame::OnLLLLeft)
    EVT_BUTTON(ID_RRRRigth, MyFrame::OnRRRRigth)
    EVT_COMMAND_SCROLL(ID_Slider, MyFrame::OnSlider)
    EVT_BUTTON(ID_PlayNonMute, MyFrame::OnPlayNonMute)
    EVT_BUTTON(ID_Stop, MyFrame::OnStop)
    EVT_BUTTON(ID_LockMemo, MyFrame::OnLockMemo)
    EVT_BUTTON(ID_MemoTour, MyFrame::OnMemoTour)
    EVT_BUTTON(ID_MemoTourCont, MyFrame::OnMemoTourCont)
    EVT_MENU(ID_WorkerEvent, MyFrame::OnWorkerEvent)
    EVT_MENU(ID_MoveToMemoSsft, MyFrame::moveToMemoSsftFromEvent)
    EVT_MENU(ID_MoveToMemo, MyFrame::moveToMemoFromEvent)
    EVT_TIMER(ID_RefreshTimer, MyFrame::OnRefreshInfo)
wxEND_EVENT_TABLE()
    // clang-format on

    namespace {

    wxButton* addButton(wxWindow * parent, wxSizer * sizer, int id, const wxString& label,
                        wxSize min, int flags) {
        auto* button = new wxButton(parent, id, label);
        VOCALITH_REQUIRE(button, "wxButton");
        button->SetMinSize(min);
        sizer->Add(button, 0, flags);
        return button;
    }

    // Check boxes of the lower boxes have a fixed size and a small margin left and right.
    wxCheckBox* makeCheckBox(wxWindow * parent, const wxString& label, wxSize size) {
        auto* box = new wxCheckBox(parent, wxID_ANY, label);
        if (box) {
            box->SetMinSize(size);
            box->SetMaxSize(size);
        }
        return box;
    }

} // namespace

MyFrame::MyFrame(const wxString& title) : wxFrame(nullptr, wxID_ANY, title) {
    SetIcon(wxIcon(vocalith_xpm));

    m_sizerFrame = new wxBoxSizer(wxVERTICAL);
    VOCALITH_REQUIRE(m_sizerFrame, "m_sizerFrame");
    m_sizerFrame->SetMinSize(900, 750);
    m_panel = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                          wxTAB_TRAVERSAL | wxNO_BORDER);
    VOCALITH_REQUIRE(m_panel, "m_panel");

    buildLayout();
    buildMenus();

    CreateStatusBar(2);
    SetStatusText("Welcome to wideband phase restoration application!", 0);
    bindPanelReadout();
    bindNewcomerAids();
    // The menu and status bars take height from the frame: size the hints again with
    // them in place, so the panel never gets less than its layout's minimum.
    m_sizerFrame->SetSizeHints(this);
}

MyFrame::~MyFrame() {
    unbindNewcomerAids();
    stopVoiceprintForGood(); // a worker must not outlive the work memory it writes
    stopTourForGood();       // nor a memo tour the memo list it reads
    // The log list dies with the window; a logger left active would write into it. At exit
    // the toolkit may have deleted the active target (ours) already: then it is not ours to free.
    wxLog* active = wxLog::SetActiveTarget(nullptr);
    wxLog::SetActiveTarget(active);
    if (active == m_logger)
        delete m_logger; // puts the previous target back
    m_playback.timer().Stop();
    clearMemoList();
}

void MyFrame::buildLayout() {
    wxWindow* p = m_panel;
    const int btnFlags = wxEXPAND;

    // Row 1: main buttons, parameter block, overview panels.
    auto* sizerParaBtn = new wxBoxSizer(wxHORIZONTAL);
    VOCALITH_REQUIRE(sizerParaBtn, "sizerParaBtn");
    auto* mainBox = new wxStaticBoxSizer(wxVERTICAL, p, "&MainPanel");
    auto* readButton = addButton(p, mainBox, ID_Read, "&ReadWave", wxSize(120, 20), btnFlags);
    wxButton* mainButtons[] = {
        readButton,
        addButton(p, mainBox, ID_Save, "&SaveMemo", wxSize(120, 20), btnFlags),
        addButton(p, mainBox, ID_Confirm, "&ConfirmParameter", wxSize(120, 20), btnFlags),
        addButton(p, mainBox, ID_ExportWav, "&ExportWave", wxSize(120, 20), btnFlags),
        addButton(p, mainBox, ID_Restore, "&Redraw", wxSize(120, 20), btnFlags),
    };
    auto* paramBox = new wxStaticBoxSizer(wxVERTICAL, p, "&ParamPanel");
    m_text = new wxTextCtrl(p, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_MULTILINE);
    VOCALITH_REQUIRE(m_text, "m_text");
    m_text->SetMinSize(wxSize(350, 100));
    paramBox->Add(m_text, 0, wxEXPAND);
    auto* sizerCanvasSub = new wxBoxSizer(wxVERTICAL);
    VOCALITH_REQUIRE(sizerCanvasSub, "sizerCanvasSub");
    m_canvasPanelSub = new myCanvasPanel(p, this);
    VOCALITH_REQUIRE(m_canvasPanelSub, "m_canvasPanelSub");
    m_canvasPanelSub2 = new myCanvasPanel(p, this);
    VOCALITH_REQUIRE(m_canvasPanelSub2, "m_canvasPanelSub2");
    sizerCanvasSub->Add(m_canvasPanelSub, 1, wxEXPAND);
    sizerCanvasSub->Add(m_canvasPanelSub2, 1, wxEXPAND);
    sizerParaBtn->Add(mainBox, 0, 0);
    sizerParaBtn->Add(paramBox, 0, 0);
    sizerParaBtn->Add(sizerCanvasSub, 1, wxEXPAND);

    // Row 2: file name, step buttons, position, jump distance.
    auto* sizerCtrlBtns = new wxBoxSizer(wxHORIZONTAL);
    VOCALITH_REQUIRE(sizerCtrlBtns, "sizerCtrlBtns");
    m_filenametext =
        new wxTextCtrl(p, wxID_ANY, "", wxDefaultPosition, wxSize(250, 25), wxTE_READONLY);
    VOCALITH_REQUIRE(m_filenametext, "m_filenametext");
    sizerCtrlBtns->Add(m_filenametext, 0, 0);
    addButton(p, sizerCtrlBtns, ID_LLLeft, "<<<", wxSize(40, 25), 0);
    addButton(p, sizerCtrlBtns, ID_LLeft, "<<", wxSize(40, 25), 0);
    addButton(p, sizerCtrlBtns, ID_Left, "<", wxSize(40, 25), 0);
    m_postext = new wxTextCtrl(p, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    VOCALITH_REQUIRE(m_postext, "m_postext");
    // Wide enough for the largest sample number a sound can have, with its time at 8 kHz. The
    // entry's own padding is not known until it is shown, hence the margin.
    m_postext->SetMinSize(
        wxSize(m_postext->GetTextExtent(" 2147483647 - 268435.456[s]  ").x + 40, -1));
    sizerCtrlBtns->Add(m_postext, 1, wxEXPAND);
    addButton(p, sizerCtrlBtns, ID_Rigth, ">", wxSize(40, 25), 0);
    addButton(p, sizerCtrlBtns, ID_RRigth, ">>", wxSize(40, 25), 0);
    addButton(p, sizerCtrlBtns, ID_RRRigth, ">>>", wxSize(40, 25), 0);
    addButton(p, sizerCtrlBtns, ID_MostLLLLeft, "|<", wxSize(40, 25), 0);
    addButton(p, sizerCtrlBtns, ID_LLLLeft, "<<<<", wxSize(60, 25), 0);
    m_jumptext = new wxTextCtrl(p, wxID_ANY, "");
    VOCALITH_REQUIRE(m_jumptext, "m_jumptext");
    m_jumptext->AppendText("441000");
    m_jumptext->SetFocus();
    sizerCtrlBtns->Add(m_jumptext, 1, wxEXPAND);
    addButton(p, sizerCtrlBtns, ID_RRRRigth, ">>>>", wxSize(60, 25), 0);

    // Row 3: the slider over the file.
    m_slider =
        new wxSlider(p, ID_Slider, 0, 0, 1000, wxDefaultPosition, wxDefaultSize, wxSL_HORIZONTAL);
    VOCALITH_REQUIRE(m_slider, "m_slider");

    // Row 7: play controls, log list, memo search, memo tour.
    auto* sizerPlayLog = new wxBoxSizer(wxHORIZONTAL);
    VOCALITH_REQUIRE(sizerPlayLog, "sizerPlayLog");
    auto* playBox = new wxStaticBoxSizer(wxVERTICAL, p, "&PlayPanel");
    const wxSize playSize(100, 20);
    auto* playButton = new wxButton(p, ID_PlayNonMute, "&Play");
    m_playRepeat = makeCheckBox(p, "&Repeat", playSize);
    VOCALITH_REQUIRE(m_playRepeat, "m_playRepeat");
    m_playNoSpect = makeCheckBox(p, "&NonDispSpectrum", playSize);
    VOCALITH_REQUIRE(m_playNoSpect, "m_playNoSpect");
    auto* stopButton = new wxButton(p, ID_Stop, "&Stop");
    for (wxButton* b : {playButton, stopButton}) {
        b->SetMinSize(playSize);
        b->SetMaxSize(playSize);
    }
    playBox->Add(playButton, 0, wxEXPAND);
    playBox->Add(0, 2, 0, wxEXPAND);
    playBox->Add(stopButton, 0, wxEXPAND);
    playBox->Add(0, 2, 0, wxEXPAND);
    playBox->Add(m_playRepeat, 0, wxLEFT | wxRIGHT, 5);
    playBox->Add(0, 2, 0, wxEXPAND);
    playBox->Add(m_playNoSpect, 0, wxLEFT | wxRIGHT, 5);
    playBox->Add(0, 2, 0, wxEXPAND);

    auto* logBox = new wxStaticBoxSizer(wxVERTICAL, p, "&LogPanel");
    logBox->SetMinSize(600, 100);
    m_lboxLog = new wxListBox(p, wxID_ANY);
    VOCALITH_REQUIRE(m_lboxLog, "m_lboxLog");
    m_lboxLog->SetMinSize(wxSize(500, 50));
    logBox->Add(m_lboxLog, 1, wxEXPAND);
    m_logger = new LboxLogger(m_lboxLog, wxLog::GetActiveTarget());
    wxLog::SetActiveTarget(m_logger);

    auto* sizerSearchMemo = new wxStaticBoxSizer(wxVERTICAL, p, "&SearchPanel");
    VOCALITH_REQUIRE(sizerSearchMemo, "sizerSearchMemo");
    auto* searchRight =
        addButton(p, sizerSearchMemo, ID_SearchRigth, "|>>>>>", wxSize(120, 20), wxEXPAND);
    m_searchtext = new wxTextCtrl(p, wxID_ANY, "", wxDefaultPosition, wxSize(120, 20));
    VOCALITH_REQUIRE(m_searchtext, "m_searchtext");
    sizerSearchMemo->Add(m_searchtext, 1, wxEXPAND);
    auto* searchLeft =
        addButton(p, sizerSearchMemo, ID_SearchLeft, "<<<<<|", wxSize(120, 20), wxEXPAND);
    m_playMute = makeCheckBox(p, "Mute", playSize);
    VOCALITH_REQUIRE(m_playMute, "m_playMute");
    sizerSearchMemo->Add(m_playMute, 0, wxLEFT | wxRIGHT, 5);
    const wxString priorities[] = {"Priority High", "Priority MID", "All"};
    m_priorlimit = new wxChoice(p, wxID_ANY, wxDefaultPosition, wxSize(120, 20), 3, priorities);
    VOCALITH_REQUIRE(m_priorlimit, "m_priorlimit");
    m_priorlimit->SetSelection(0);
    sizerSearchMemo->Add(m_priorlimit, 0, wxEXPAND);

    auto* memoBox = new wxStaticBoxSizer(wxVERTICAL, p, "&MemoPanel");
    const wxSize memoSize(120, 20);
    auto* tourButton = addButton(p, memoBox, ID_MemoTour, "&MemoTour", memoSize, wxEXPAND);
    m_containSsft = makeCheckBox(p, "&with Voiceprint", memoSize);
    VOCALITH_REQUIRE(m_containSsft, "m_containSsft");
    memoBox->Add(m_containSsft, 0, wxLEFT | wxRIGHT, 5);
    m_containBlank = makeCheckBox(p, "&Add blank", memoSize);
    VOCALITH_REQUIRE(m_containBlank, "m_containBlank");
    memoBox->Add(m_containBlank, 0, wxLEFT | wxRIGHT, 5);
    auto* lockButton = addButton(p, memoBox, ID_LockMemo, "&Stop", wxSize(120, 19), wxEXPAND);
    auto* contButton =
        addButton(p, memoBox, ID_MemoTourCont, "&MemoTourContinue", memoSize, wxEXPAND);

    sizerPlayLog->Add(playBox, 0, 0);
    sizerPlayLog->Add(logBox, 0, wxEXPAND);
    sizerPlayLog->Add(sizerSearchMemo, 0, 0);
    sizerPlayLog->Add(memoBox, 0, 0);

    // Rows 4 to 6: waveform panel, title, main drawing panel.
    m_canvasPanelUp = new myCanvasPanel(p, this);
    VOCALITH_REQUIRE(m_canvasPanelUp, "m_canvasPanelUp");
    m_canvasPanelUp->SetMinSize(wxSize(700, 80));
    m_canvasPanel = new myCanvasPanel(p, this);
    VOCALITH_REQUIRE(m_canvasPanel, "m_canvasPanel");
    auto* titletext = new wxTextCtrl(p, wxID_ANY, " Wideband Phase Restoration ", wxDefaultPosition,
                                     wxDefaultSize, wxTE_READONLY | wxTE_CENTRE);
    VOCALITH_REQUIRE(titletext, "titletext");
    titletext->SetMinSize(wxSize(700, 18));

    // Small fonts for the command boxes, a readable one for text and log.
    wxFont small = readButton->GetFont();
    small.SetPointSize(6);
    for (wxButton* b : mainButtons)
        b->SetFont(small);
    for (wxWindow* w : std::initializer_list<wxWindow*>{
             playButton, stopButton, m_playRepeat, m_playNoSpect, searchRight, searchLeft,
             m_playMute, tourButton, m_containSsft, m_containBlank, lockButton, contButton,
             m_priorlimit})
        w->SetFont(small);
    wxFont textFont = m_text->GetFont();
    textFont.SetPointSize(9);
    m_text->SetFont(textFont);
    m_lboxLog->SetFont(textFont);

    m_sizerFrame->Add(sizerParaBtn, 0, wxEXPAND);
    m_sizerFrame->Add(sizerCtrlBtns, 0, wxEXPAND);
    m_sizerFrame->Add(m_slider, 0, wxEXPAND | wxALL, 5);
    m_sizerFrame->Add(m_canvasPanelUp, 0, wxEXPAND);
    m_sizerFrame->Add(titletext, 0, wxEXPAND);
    m_sizerFrame->Add(m_canvasPanel, 1, wxEXPAND);
    m_sizerFrame->Add(sizerPlayLog, 0, wxEXPAND);
    m_sizerFrame->Layout();
    m_panel->SetSizer(m_sizerFrame);
    m_sizerFrame->Fit(this);
    m_sizerFrame->SetSizeHints(this);
}

void MyFrame::buildMenus() {
    auto* menuBar = new wxMenuBar;
    menuBar->Append(buildFileMenu(), "&File");
    menuBar->Append(commandMenu(MenuPlace::edit), "&Edit");
    wxMenu* view = buildViewMenu();
    buildChannelMenu(view);
    menuBar->Append(view, "&View");
    menuBar->Append(commandMenu(MenuPlace::go), "&Go");
    menuBar->Append(commandMenu(MenuPlace::help), "&Help");
    SetMenuBar(menuBar);
}

void MyFrame::init(wxString path) {
    m_canvasPanelUp->drawScale();
    m_canvasPanel->takeMemos();
    m_canvasPanel->drawScale();
    m_canvasPanelSub->takeMemos();
    m_canvasPanelSub->drawScale();
    m_canvasPanelSub2->drawScale();
    if (path.IsEmpty())
        m_canvasPanel->drawHint(kStartHint);
    if (path.IsEmpty())
        return;
    wxLogMessage("command line param = %s", path);
    // The whole argument is the name shown; the path is made absolute once, here, so that
    // nothing later depends on the working folder.
    wxFileName absolute(path);
    absolute.MakeAbsolute();
    m_sound.waveFileName = absolute.GetFullPath();
    m_sound.chosenFileName = path;
    readCommon();
}

void MyFrame::OnQuit(wxCommandEvent&) {
    // Not forced: unsaved memos get their question, and Cancel keeps the window.
    Close();
}

void MyFrame::OnAbout(wxCommandEvent&) {
    wxMessageBox(
        "Vocalith " VOCALITH_VERSION "\n\nLook at, listen to and annotate recorded speech:\n"
        "a voiceprint by the Hamming window and by wideband phase restoration,\n"
        "pitch detection, memos, memo tours and export of the sound under them.",
        "About Sound Spectrogram with wideband phase restoration", wxOK | wxICON_INFORMATION, this);
}

void MyFrame::OnSize(wxSizeEvent&) {
    // The panel is the frame's only child and fills the client area; nothing else listens.
    if (m_panel)
        m_panel->SetSize(GetClientSize());
}
