#pragma once

#include <atomic>
#include <functional>
#include <vector>
#include <memory>
#include <optional>

#include <wx/wx.h>

#include <wx/filehistory.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/list.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/progdlg.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/sound.h>
#include <wx/textctrl.h>
#include <wx/thread.h>
#include <wx/timer.h>

#include "gui/app/IProcMemoListener.h"
#include "gui/panels/myCanvasPanel.h"
#include "gui/frame/Commands.h"
#include "gui/frame/MemoStore.h"
#include "gui/frame/OpenSound.h"
#include "gui/frame/Playback.h"
#include "engine/sound/AnalysedChannel.h"
#include "engine/sound/ParameterBlock.h"

class CArchMemo;
struct MemoSlot;
struct MemoSlotRef;
class CWavPara;
class CWorkMemory;
class LboxLogger;
class MyThread;
struct TourLink;
struct VoiceprintLink;

// Window and command IDs; fixed numbers that the event table and the threads share.
enum {
    ID_Quit = 5006,
    ID_About = 5014,
    ID_Read = 5016,
    ID_Save = 5017,
    ID_Restore = 5018,
    ID_Confirm = 5019,
    ID_CalcSSFT = 5020,
    ID_ExportWav = 5021,
    ID_SearchLeft = 5022,
    ID_SearchRigth = 5023,
    ID_LLLeft = 5024,
    ID_LLeft = 5025,
    ID_Left = 5026,
    ID_Rigth = 5027,
    ID_RRigth = 5028,
    ID_RRRigth = 5029,
    ID_MostLLLLeft = 5030,
    ID_LLLLeft = 5031,
    ID_RRRRigth = 5032,
    ID_Slider = 5033,
    ID_PlayNonMute = 5036,
    ID_Stop = 5038,
    ID_LockMemo = 5041,
    ID_MemoTour = 5042,
    ID_MemoTourCont = 5043,
    ID_WorkerEvent = 5045,
    ID_MoveToMemoSsft = 5046,
    ID_MoveToMemo = 5047,
    ID_RefreshTimer = 5048,
    ID_ExportMemos = 5050,
    ID_ImportMemos = 5051,
    ID_SavePicture = 5052,
    ID_ChannelLeft = 5060, // the "Channel" menu's radio items, in AnalysedChannel's order
    ID_ChannelRight = 5061,
    ID_ChannelMix = 5062,
};

// The main window. Declared here once; implemented in one file per subsystem,
// named under each banner. Handler names keep their historical spelling
// ("Rigth"): the event table and saved habits depend on them.
class MyFrame : public wxFrame, public IProcMemoListener {
public:
    explicit MyFrame(const wxString& title);
    ~MyFrame() override;

    // Start-up and window — src/gui/frame/MyFrame.cpp
    void init(wxString path);

    // Playback — src/gui/frame/Playback.cpp (also toPlay and toStop of the listener)
    // Plays the top panel's selection; OnPlay plays nothing while "Mute" is checked.
    void OnPlay(wxCommandEvent& event);
    // The image the last CreateSound built (header and samples) and its size in bytes.
    static const unsigned char* playImage(size_t* bytes);

    // Time navigation and zoom — src/gui/frame/TimeNavigation.cpp
    // (also setRange, unsetRange and toRedraw of the listener)
    // Moves the analysed stretch to a window offset, clamped to 0 .. m_cursorRange, and redraws
    // everything that depends on it (waveforms, marks, level spectrum, slider).
    void shiftSliderPos(long cursor);
    void setRange() override;
    void unsetRange() override;
    void toRedraw() override;

    // Opening files — src/gui/frame/FileOpening.cpp
    int readCommon();
    // readCommon for the added ways in, which decode other sound formats in memory; the
    // designed ones (ReadWave, the command line) refuse them with the reader's own lines.
    int readCommon(bool convert);
    // How a file came to be opened; every way ends in openFile.
    enum OpenedBy { openedByReadWave, openedByMenu, openedFromRecent, openedByDrop };
    // Opens a sound or memo file: refused (and logged, except from a dialog) while a tour or a
    // voiceprint runs, asks about unsaved memos, makes the path absolute. False when nothing
    // was read.
    bool openFile(const wxString& path, OpenedBy way);

    // Memo-list file — src/gui/frame/MemoFile.cpp (also toSaveMemoToFile of the listener)
    void toSaveMemoToFile() override;

    // The parameter block — src/gui/frame/ParameterBlockFrame.cpp
    void OnConfirm(wxCommandEvent& event);
    // The values the block shows, from the wave parameters and the work memory.
    ParameterValues currentParameters() const;
    // Copies the analysed stretch out of the window and computes its first frame's spectrum.
    void analyseStretch();
    // The level spectrum of the analysed stretch on the main panel, in the block's ranges.
    void drawLevelSpectrum();

    // The voiceprint and its display — src/gui/frame/VoiceprintWorker.cpp
    bool Cancelled();

    // Image memos — src/gui/frame/ImageMemo.cpp
    // A memo text holding "[ImageMemo]=name" shows the picture the base file name + "-" + name.
    // Appends its shape to the main panel at (x, y); a text without the marker is logged and
    // gets no shape.
    void readImageMemo(const wxString& text, int x, int y, int titleNo, int termNo,
                       DragShape::DispPrior prior);

    // Memo editing — src/gui/frame/MemoEditing.cpp (also the listener's memo editing operations)
    // A new group at (x, y) of the main panel, made current; its "+" goes on the overview.
    void addTitle(const wxString& text, int x, int y);
    // A term memo in the current group; it gets a shape only on the voiceprint (or as a picture).
    void addTerm(const wxString& text, int x, int y);
    // Whether the group in the slot passes the priority limit m_priorLimit.
    bool isExecByMemoPrior(int slot) const;
    // Rebuilds the main panel's shapes from the current group's records.
    void reAddMemo();
    void restoreMemo(int title) override;
    void replaceMemo(int title) override;
    void addMemo(int x, int y, wxString text) override;
    void editMemo(int title, int term) override;
    void deleteMemo(int title, int term) override;
    void sortMemoByTime() override;
    void moveMemoToFirst(int title) override;
    void moveMemoToLast(int title) override;
    void setProirSubTitle(int title, DragShape::DispPrior prior) override; // sic: name kept
    void calcPriorStats() override;

    // Memo navigation and search — src/gui/frame/MemoNavigation.cpp
    // The moves play the view once afterwards, whatever "&Repeat" says.
    void moveToMemo(int title) override;
    void moveToLatestMemo() override;
    // The next or previous slot, wrapping, that passes the priority limit.
    void moveNextMemo(int title) override;
    void movePreviousMemo(int title) override;
    void saveMemoPos() override;
    void loadMemoPos() override;

    // Keys, menus, mouse wheel, drops, tooltips, heading and resize — KeysAndMenus.cpp;
    // the moves they make — TimeNavigation.cpp
    enum NewcomerId {
        ID_Open = 5100,
        ID_MenuSave,
        ID_MenuExport,
        ID_ViewVoiceprint,
        ID_ViewOtherMethod,
        ID_ViewPitch,
        ID_ViewLevel,
        ID_ZoomIn,
        ID_ZoomOut,
        ID_KeyHelp,
        ID_ResizeTimer,
        ID_ViewFitDb,
        ID_RecentFirst = 5120, // to 5128: Recent files (the toolkit's own ids are taken)
        ID_Undo = 5130,
        ID_Redo,
        ID_PlayOrStop,
        ID_TenthBack,
        ID_TenthForward,
        ID_StretchBack,
        ID_StretchForward,
        ID_WindowBack,
        ID_WindowForward,
        ID_FileStart,
        ID_FileEnd,
        ID_SlowRunTimer,
    };
    // Runs the command of the table with this id when the policy lets it; true when it is one.
    bool runCommand(int id);
    void runViewCommand(int id);
    void wheel(myCanvasPanel* panel, wxMouseEvent& event);
    bool zoomedIn() const;
    // The axis of a panel as it shows now (see myCanvasPanel::setAxis).
    void updateAxisSpan(myCanvasPanel* panel) const;
    // IProcMemoListener operations implemented elsewhere (see the banners above)
    void toPlay() override;
    void toStop() override;
    void toHammingWindow() override;
    void toWidebandPhase() override;
    void toVoiceprint() override;
    void calcPitch() override;

private:
    // The frame's own threads, its table of commands and the tests' probe see its state.
    friend const std::vector<Command>& windowCommands();
    friend class MyThread;
    friend class MyWorkerThread;
    friend struct FrameProbe;

    void buildLayout();
    void buildMenus();

    wxMenu* m_viewMenu = nullptr;
    std::unique_ptr<wxFileHistory> m_fileHistory; // for this run only
    std::unique_ptr<wxTimer> m_resizeTimer;       // settles resizing before the redraw
    int m_wheelRotation = 0;
    bool m_fitDbRange = false; // for this run only

    // Windows, owned by the toolkit as children of m_panel.
    wxPanel* m_panel = nullptr;
    wxBoxSizer* m_sizerFrame = nullptr;
    wxTextCtrl* m_text = nullptr;
    wxTextCtrl* m_postext = nullptr;
    wxTextCtrl* m_filenametext = nullptr;
    wxTextCtrl* m_jumptext = nullptr;
    wxTextCtrl* m_searchtext = nullptr;
    wxSlider* m_slider = nullptr;
    myCanvasPanel* m_canvasPanelUp = nullptr;
    myCanvasPanel* m_canvasPanel = nullptr;
    myCanvasPanel* m_canvasPanelSub = nullptr;
    myCanvasPanel* m_canvasPanelSub2 = nullptr;
    wxListBox* m_lboxLog = nullptr;
    wxCheckBox* m_playRepeat = nullptr;
    wxCheckBox* m_playNoSpect = nullptr;
    wxCheckBox* m_playMute = nullptr;
    wxCheckBox* m_containSsft = nullptr;
    wxCheckBox* m_containBlank = nullptr;
    wxChoice* m_priorlimit = nullptr;

    // What the frame owns for the life of the window: the recording on screen, its memo list
    // (whose slots match the overview panel's shapes one to one), and what plays.
    OpenSound m_sound;
    MemoStore m_memos;
    Playback m_playback{this, ID_RefreshTimer};
    LboxLogger* m_logger = nullptr;

    // Voiceprint computation.
    wxMutex m_cancelMutex; // protects m_cancelled, set by the progress dialog, read by the worker
    bool m_cancelled = false;
    wxProgressDialog* m_dlgProgress = nullptr;
    // While the dialog shows: swallows what the user does elsewhere, with a busy pointer.
    std::unique_ptr<wxEventFilter> m_inputBlock;
    bool m_voiceprintRunning = false; // from the start until the completion event is handled
    // A voiceprint computed again after a move: its dialog shows only when it runs long, and
    // it plays nothing at its end.
    struct QuietRun {
        bool on = false;
        int method = 2;
        bool pitch = false;
    };
    QuietRun m_quietRun;
    std::unique_ptr<wxTimer> m_slowRunTimer;
    std::shared_ptr<VoiceprintLink> m_workerLink; // shared with the running worker

    // Memo groups shown now and before (-1: none).
    int m_curTitle = -1;
    int m_prevTitle = -1;

    int m_zoomOffset = 0; // where a zoomed view started inside the window
    // 1 after the program moved the slider: the next thumb-track event is its echo.
    int m_sliderSetByProgram = 0;

    // The parameter block as last applied, and the stretch it analyses.
    wxString m_paramBackup;
    std::atomic<double> m_executionSec{0.0}; // also read by the memo tour's thread

    // Memo-tour options, copied from the check boxes when a tour starts.
    bool m_cachedContainSsft = false;
    bool m_cachedContainBlank = false;
    bool m_cachedPlayMute = false;
    int m_priorLimit = 0;
    // Set while a memo tour, memo search or other long command runs; read by the tour thread.
    std::atomic<bool> m_tourRunning{false};
    std::shared_ptr<TourLink> m_tourLink; // shared with the current tour thread

    // Start-up and window — src/gui/frame/MyFrame.cpp
    void OnQuit(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnSize(wxSizeEvent& event);
    bool GetContainSsft() const { return m_cachedContainSsft; }
    bool GetContainBlank() const { return m_cachedContainBlank; }
    bool GetPlayMute() const { return m_cachedPlayMute; }

    // Playback — src/gui/frame/Playback.cpp (also toPlay and toStop of the listener)
    void play(bool obeyMute);
    // The cursor line goes, the countdown is cleared.
    void endCountdown();
    void OnPlayNonMute(wxCommandEvent& event);
    void OnStop(wxCommandEvent& event);
    void OnRefreshInfo(wxTimerEvent& event);
    // Redraws the panels whose size changed, and the memo shapes; before playing, stopping,
    // and on "&Redraw".
    void redrawPanels();
    // Builds the play image of the selection and creates sound from it; false when the
    // selection is empty or lies outside the window.
    bool CreateSound(wxSound& sound) const;

    // Time navigation and zoom — src/gui/frame/TimeNavigation.cpp
    // The stretch under the slider's thumb.
    long cursorOfSlider() const;
    void showPosition(long cursor);
    void forgetMemoGroup();
    // First steps of every step and jump button: playing stops and the memo group goes.
    void leaveView();
    void step(long samples);
    void markWindowOnOverview();
    // Moves the window to start at `start`, reads it afresh and puts the cursor at `cursor` of the
    // new window (clamped by shiftSliderPos); the overview's marker follows.
    void moveWindow(int32_t start, long cursor);
    // The long jumps' distance from its box. Once it reads, the view is left; false as well when
    // nothing can move: the window holds the whole sound, or the distance is not forward.
    bool jumpDistance(long* distance);
    // After a failed resize the buffers the panels borrowed are gone: the panels let go of them
    // and the sizes that worked a moment ago come back, so the view keeps a stretch to show.
    void reviveWorkMemory(const ParameterValues& before);
    // Resizes the analysis to frames frames of the current transform and hop; false (logged) when
    // there are too few or the memory cannot be had.
    bool resizeAnalysis(long frames);
    void OnLLLeft(wxCommandEvent& event);
    void OnLLeft(wxCommandEvent& event);
    void OnLeft(wxCommandEvent& event);
    void OnRigth(wxCommandEvent& event);
    void OnRRigth(wxCommandEvent& event);
    void OnRRRigth(wxCommandEvent& event);
    void OnMostLLLLeft(wxCommandEvent& event);
    void OnLLLLeft(wxCommandEvent& event);
    void OnRRRRigth(wxCommandEvent& event);
    void OnSlider(wxScrollEvent& event);
    void sliderPositionMove();
    void sliderPositionChange();

    // WAV export — src/gui/frame/ExportWav.cpp
    void OnExportWav(wxCommandEvent& event);

    // Opening files — src/gui/frame/FileOpening.cpp
    void OnRead(wxCommandEvent& event);
    // File > Open: the ReadWave dialog, offering the sounds it converts as well.
    void OnOpen(wxCommandEvent& event);
    // The file dialog; the chosen path, or empty (logged) when cancelled.
    wxString chooseFileToOpen(bool otherSounds);
    // What a refused file is and what opens instead.
    static wxString notASoundLine(const wxString& path);

    // The analysed channel of stereo sounds — src/gui/frame/ChannelMenu.cpp
    // A "Channel" menu (Left, Right, Mix), enabled while a stereo sound is open; choosing reads
    // the open sound again with that channel and keeps the view, the memo list and the sizes.
    void buildChannelMenu(wxMenu* view);
    void updateChannelMenu();
    void OnChannel(wxCommandEvent& event);

    // Memo-list file — src/gui/frame/MemoFile.cpp (also toSaveMemoToFile of the listener)
    // Saves the memo list to the sound's base name + ".vlh", replacing the old file only once
    // the new one is complete; asks first when the list was imported (fileMemoText or
    // fileTranscript).
    void OnSave(wxCommandEvent& event);
    // OnSave's work. Before replacing the file it asks when another program changed it since it
    // was read (overwrite, keep both by saving beside it, or cancel), and keeps a list that was
    // read damaged as a numbered ".bak" first. True when the list is on disk afterwards.
    bool saveMemoList();
    // Before the memo list is replaced or the window closes: when the list has changes that
    // were not saved, asks Save / Discard / Cancel with `question`. False when the user
    // cancelled or the save failed; the caller then leaves everything as it is.
    bool keepMemoChanges(const wxString& question);
    // wxEVT_CLOSE_WINDOW: asks about unsaved memos, unless the close cannot be refused.
    void OnClose(wxCloseEvent& event);
    // Replaces the memo list by the sound's memo-list file or old memo text (by its kind)
    // and sets the window length it asks for; the overview gets one "+" per group, the main panel
    // none.
    void readMemo();
    // A group's view as the open sound can show it: `start` and `cursor` receive the param
    // memo's view start and cursor clamped into the sound and the window (fitMemoView), to be
    // used in place of the stored values when a group is moved to, played or exported. False
    // when something had to be clamped, or no sound is open (then both are 0).
    bool memoViewFits(const CArchMemo& param, int32_t& start, int32_t& cursor) const;

    // The parameter block — src/gui/frame/ParameterBlockFrame.cpp
    void readBase();
    void readBasePart();
    void confirmBase();

    // The voiceprint and its display — src/gui/frame/VoiceprintWorker.cpp
    // (also toVoiceprint, toHammingWindow and toWidebandPhase of the listener)
    void OnCalcSSFT(wxCommandEvent& event);
    void calcSSFTBase();
    void OnWorkerEvent(wxCommandEvent& event);
    // Draws one of the voiceprint planes with the block's ranges.
    void drawVoiceprint(double* plane, int method);
    // With "Fit dB range" on, a finished voiceprint's dB range comes from its Hamming plane.
    void fitDbRangeToVoiceprint();
    // Cancels a running computation and waits until it no longer touches the work memory;
    // for the window's end.
    void stopVoiceprintForGood();
    // The progress dialog of the running computation, shown as it starts.
    void showProgressDialog();
    // The voiceprint of a view a move has made, drawn by `method` with the pitch if asked.
    void startQuietVoiceprint(int method, bool pitch);

    // Pitch detection — src/gui/frame/PitchDetection.cpp (also calcPitch of the listener)
    void calcPitchBase(CWorkMemory* work, myCanvasPanel* panel);

    // The memo list's slots with their overview marks — src/gui/frame/MemoList.cpp
    // Deletes every record, term list and memo shape; no group is current afterwards.
    void clearMemoList();
    // clearMemoList, unless a slot has lost its parameter record: then the broken list stays
    // for the user to see, the log says so, and the result is false.
    bool clearIntactMemoList();
    // Takes the records of read or imported groups into the lists, one overview "+" per group
    // in its priority's colour; title numbers count from 0 in the order given.
    void adoptMemoSlots(std::vector<MemoSlot>& slots);

    // Transcript import — src/gui/frame/TranscriptImport.cpp
    // Replaces the memo list by the groups of the transcript beside the sound (base name +
    // ".trn"); called after the sound was read. True when the file was read to its end.
    bool readTrn();

    // Memo lists to and from other tools — src/gui/frame/MemoInteropFrame.cpp
    // "Export memos…": the memo list as a Praat TextGrid, an Audacity label track or CSV, in a
    // file chosen in a dialog; its extension (else the dialog's filter) chooses the format.
    void OnExportMemos(wxCommandEvent& event);
    // "Import memos…": replaces the memo list by the groups of a TextGrid or label track for
    // the open sound, as a transcript does; saving asks before it overwrites a memo-list file.
    void OnImportMemos(wxCommandEvent& event);

    // Image memos — src/gui/frame/ImageMemo.cpp
    // Puts the shape of the text into the node in place of the old shape (whose priority,
    // place and numbers it takes) and deletes the old one; nothing happens for a null node.
    void replaceImageMemo(wxList::compatibility_iterator shapeNode, const wxString& text);

    // Memo editing — src/gui/frame/MemoEditing.cpp (also the listener's memo editing operations)
    bool slotsAligned() const;
    // The slot of the group's sub memo; -1 (logged unless the list is empty) when there is none.
    int groupSlot(int title) const;
    // Moves a slot in the three memo lists and the overview's marks alike.
    void moveSlot(size_t from, size_t to);
    void deleteGroup(int title);
    void deleteTerm(int title, int term);
    void moveGroup(int title, bool first);
    // Whether an action may run now, for buttons, keys, menus, the wheel and drops alike. A
    // memo tour holds the memo list and the view; a voiceprint being computed owns the work
    // memory that moving and opening rewrite.
    bool mayRun(Action action) const;
    // Every change of the memo list's records ends here: the unsaved mark, and a step to undo.
    void memoEdited();
    void undoMemoEdit();
    void redoMemoEdit();
    void stepMemoHistory(bool forward);
    void restoreMemoState(const std::string& bytes);
    // Gives the main panel's shapes drawing offsets that keep their labels apart.
    void separateShownLabels();

    // Memo navigation and search — src/gui/frame/MemoNavigation.cpp
    void playOnce();
    // Next, previous and search are refused while a tour runs; the tour holds the data lock through
    // its pauses, so waiting for it would freeze the window. Said in the log, as a click should be.
    bool refusedDuringTour();
    // Moves to the group a step lands on and plays it once.
    void stepTo(int title, bool forward);
    void moveStep(int title, bool forward);
    void searchAndMove(const wxString& text, bool forward);
    void search(bool forward);
    // Shows the group with the title number: its parameter block and view (clamped into the
    // sound), its title and picture memos on the main panel, its view on the overview.
    void moveToBase(int title);
    // Tour events (5047, 5046): the move under m_dataLock; in the voiceprint case the lock
    // stays with the computation the move starts.
    void moveToMemoFromEvent(wxCommandEvent& event);
    void moveToMemoSsftFromEvent(wxCommandEvent& event);
    void OnSearchLeft(wxCommandEvent& event);
    void OnSearchRigth(wxCommandEvent& event);
    void OnRestore(wxCommandEvent& event);
    // m_priorLimit from the "Priority" choice; 0 (High only) without a choice or selection.
    void readPriorLimit();

    // Memo tour — src/gui/frame/MemoTour.cpp
    void startTour(long start);
    // A tour thread for the frame starting at the slot, created and listed but not running;
    // null (logged) when the system refuses a thread.
    MyThread* CreateThread(long start);
    MyThread* CreateThread();
    void OnMemoTour(wxCommandEvent& event);
    void OnMemoTourCont(wxCommandEvent& event);
    // "&Stop": ends a tour at once; it never waits for the tour thread.
    void OnLockMemo(wxCommandEvent& event);
    // A move event of a tour that has been stopped or replaced since it was posted.
    bool tourEventStale(const wxCommandEvent& event);
    // Tells the tour that posted the event that the frame has handled it.
    void tourMoveHandled(const wxCommandEvent& event);
    // Ends a running tour's hold on the frame; for the window's end.
    void stopTourForGood();

    // Pointer readout and voiceprint picture — src/gui/frame/PictureAndReadout.cpp
    // Status bar field 1 follows the pointer over the panels (time, sample, frequency, level or
    // sample value); the panels' own mouse handling is left as it is.
    void bindPanelReadout();
    void OnPanelMotion(wxMouseEvent& event);
    void OnPanelLeave(wxMouseEvent& event);
    // The readout for the pointer at (x, y) of the panel; empty where the panel shows nothing.
    wxString readoutText(const myCanvasPanel& panel, int x, int y) const;
    // "Save voiceprint picture…": what the main panel shows, into a PNG file chosen in a dialog.
    void OnSavePicture(wxCommandEvent& event);
    // The main panel as painting shows it (back buffer and memo shapes); invalid without one.
    wxImage mainPanelPicture() const;

    // Keys, menus, mouse wheel, drops, tooltips, heading and resize — KeysAndMenus.cpp;
    // the moves they make — TimeNavigation.cpp
    wxMenu* commandMenu(MenuPlace place); // the table's items of one menu
    wxMenu* buildFileMenu();              // with "Recent files" under "Open…"
    wxMenu* buildViewMenu();              // the stereo channel items go at its end
    void bindNewcomerAids();              // once the menus and the status bar exist
    // A key as the window takes it wherever the focus is; false when it is not ours or an
    // editable text box keeps it for typing.
    bool handleKey(int keyCode, int modifiers);
    void playOrStop();
    void showKeyHelp();
    // A move made by a key, the wheel or a menu: it plays nothing, and a voiceprint shown
    // before is computed again for the new view, with its method and pitch.
    void navigateKeepingView(const std::function<void()>& move);
    long tenthOfStretch() const; // whole hops, at least one
    long wholeStretch() const;
    void wheelMove(myCanvasPanel* panel, const wxMouseEvent& event, int notches);
    void redrawAfterResize();
    void OnPanelSize(wxSizeEvent& event);
    void unbindNewcomerAids();       // first thing when the window goes
    void scrollInTime(long samples); // the stretch, and the window where it must
    void moveToFileEdge(bool end);   // Home and End
    void centreOn(long fileSample);  // the overview's click
    void zoomAround(long stretchOffset);

    wxDECLARE_EVENT_TABLE();
};
