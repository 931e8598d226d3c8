#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <wx/dir.h>
#include <wx/msgdlg.h>

#include "MemoLists.h"
#include "engine/memo/MemoListFile.h"
#include "support/Dialogs.h"
#include "support/MemoGroups.h"

namespace {

// Groups with priorities 0, 1, 2, 0, ... across the overview, a title each; the views start
// 30000 samples apart and the last one is 44100 samples long.
std::string memoList(int groups) {
    std::vector<MemoSlot> slots(groups);
    for (int k = 0; k < groups; ++k) {
        MemoSlot& s = slots[k];
        s.param = std::make_unique<CArchMemo>();
        s.param->m_viewLength = k + 1 == groups ? 44100 : 88200;
        s.param->m_viewStart = 30000 * k;
        s.sub = std::make_unique<CArchMemo>();
        s.sub->m_memoText = "+";
        s.sub->SetMemoPrior(CArchMemo::MemoPrior(k % 3));
        s.sub->m_relX = 0.125f * k + 0.0625f;
        s.sub->m_relY = 0.1875f * k;
        s.terms.push_back(std::make_unique<CArchMemo>());
        s.terms.back()->m_memoText = wxString::Format("memo %d", k);
    }
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    return bytes;
}

class MemoFileTest : public MemoFrameTest {
protected:
    void save() {
        wxCommandEvent press(wxEVT_BUTTON, ID_Save);
        frame->ProcessWindowEvent(press);
        pumpEvents();
    }
    std::string lastLog() const { return log().empty() ? "" : log().back(); }
    size_t fileCount() const {
        wxArrayString names;
        return wxDir::GetAllFiles(dir.path(), &names, "", wxDIR_FILES);
    }
    // Writes talk.wav at 16 kHz and talk.trn, opens the transcript and returns the log lines
    // after "<wav> read.", up to the parameter block's.
    Lines import(double seconds, const std::string& transcript) {
        dir.file("talk.wav", toneWav(seconds, 16000));
        dir.file("talk.trn", transcript);
        frame->m_canvasPanelSub->SetSize(400, 100);
        return opened();
    }
    Lines opened() {
        mark = log().size();
        open(trn);
        const Lines lines = newLog();
        auto from = std::find(lines.begin(), lines.end(), dir.path() + "/talk.wav read.");
        from = from == lines.end() ? lines.begin() : from + 1;
        return Lines(from, std::find(from, lines.end(), "output parameter."));
    }
    // A memo's text, frequency, place and term number.
    auto memo(size_t slot, size_t k) const {
        const CArchMemo* m = record(slot, k);
        return tup(m->m_memoText, m->m_freq, m->m_relX, m->m_relY, m->m_termNo);
    }
    bool paramHas(size_t slot, const char* piece) const {
        return frame->paramMemoAt(slot)->m_memoText.Find(piece) != wxNOT_FOUND;
    }

    const std::string trn = dir.path() + "/talk.trn";
};

using TranscriptTest = MemoFileTest;

class MemoInteropTest : public MemoGroupTest {
protected:
    void viaDialog(int id, const std::string& path) {
        wxCommandEvent command(wxEVT_MENU, id);
        wxTEST_DIALOG(frame->ProcessWindowEvent(command), wxExpectModal<wxFileDialog>(path));
    }
    const wxString& text(size_t slot, size_t term) {
        return memoAt(*frame, slot, term)->m_memoText;
    }
};

} // namespace

TEST_F(MemoFileTest, ReadsTheListBesideTheSoundAndSavesItBack) {
    const std::string wav = dir.file("talk.wav", toneWav(3.0, 44100));
    const std::string bytes = memoList(5);
    const std::string vlh = dir.file("talk.vlh", bytes);
    frame->m_canvasPanelSub->SetSize(400, 100);
    open(wav);
    ASSERT_EQ(frame->memoSlotCount(), 5u);
    // The last group's view sets the window; no group is current yet.
    EXPECT_EQ(tup(frame->m_requestedWindowLen, frame->m_wavePara->m_windowLen,
                  frame->m_jumptext->GetValue(), frame->m_curTitle, shapes()),
              tup(44100, 44100, "44100", -1, 0u));
    // Each "+" where the file puts it on the 400 x 100 overview: (k / 8 + 1 / 16, 3 k / 16).
    const wxPoint at[] = {{25, 0}, {75, 18}, {125, 37}, {175, 56}, {225, 75}};
    ASSERT_EQ(pluses(), 5u);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(tup(plus(k)->m_pos, int(plus(k)->m_dispPrior), plus(k)->m_shapeText,
                      plus(k)->m_titleNo),
                  tup(at[k], k % 3, "+", k));
    // Views from the file are fitted to this 3 s sound before anything uses them: group 4
    // starts at 120000, beyond the last window start 132300 - 44100.
    int32_t start = -1, cursor = -1;
    EXPECT_FALSE(frame->memoViewFits(*frame->paramMemoAt(4), start, cursor));
    EXPECT_EQ(tup(start, cursor, frame->paramMemoAt(4)->m_viewStart),
              tup(88200, frame->m_wavePara->m_cursorRange, 120000));

    chmod(vlh.c_str(), 0640);
    save();
    EXPECT_EQ(lastLog(), vlh + " memo list saved.");
    EXPECT_EQ(readAll(vlh), bytes);
    EXPECT_EQ(frame->m_fileKind, 1);
    struct stat st;
    ASSERT_EQ(stat(vlh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the new file is made like the old one";

    record(2, 0)->m_memoText = "changed\nline";
    frame->toSaveMemoToFile();
    EXPECT_NE(readAll(vlh).find("\r\nchanged&#xD;line\r\n"), std::string::npos);
    EXPECT_EQ(fileCount(), 2u) << "no temporary file is left behind";

    // Opening the list itself reads it back; a busy frame saves nothing.
    open(vlh);
    EXPECT_EQ(record(2, 0)->m_memoText, "changed\nline");
    frame->m_tourRunning = true;
    const size_t lines = log().size();
    save();
    frame->m_tourRunning = false;
    EXPECT_EQ(log().size(), lines);
}

TEST_F(MemoFileTest, MissingOldAndDamagedLists) {
    const std::string wav = dir.file("talk.wav", toneWav(3.0, 44100));
    open(wav);
    EXPECT_TRUE(logged("memo list read failed."));
    // The default window, cut to the sound.
    EXPECT_EQ(tup(frame->memoSlotCount(), frame->m_wavePara->m_windowLen), tup(0u, 132300));

    // Without a memo-list file the old memo text beside the sound is read.
    dir.file("talk.txt", memoList(2));
    open(wav);
    EXPECT_EQ(frame->memoSlotCount(), 2u);

    // A cut file keeps the complete groups and says it failed; a foreign file keeps nothing.
    const std::string full = memoList(3);
    const std::string vlh = dir.file("talk.vlh", full.substr(0, full.size() - 10));
    mark = log().size();
    open(wav);
    EXPECT_EQ(newLog().at(1), "memo list read failed.");
    EXPECT_FALSE(logged(vlh + " : memo list read."));
    EXPECT_EQ(tup(frame->memoSlotCount(), pluses(), frame->m_requestedWindowLen),
              tup(2u, 2u, 88200));
    dir.file("talk.vlh", "RIFF\r\n1\r\n");
    open(wav);
    EXPECT_TRUE(logged("memo list uncorrect ( internal error )."));
    EXPECT_EQ(tup(frame->memoSlotCount(), pluses()), tup(0u, 0u));
}

TEST_F(MemoFileTest, ImportedListAsksBeforeOverwriting) {
    dir.file("talk.wav", toneWav(3.0, 44100));
    const std::string vlh = dir.file("talk.vlh", "older list");
    open(dir.file("talk.txt", memoList(2)));
    ASSERT_EQ(tup(frame->m_fileKind, frame->memoSlotCount()), tup(2, 2u));

    Asked asked;
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_NO, &asked));
    EXPECT_EQ(asked.caption, "Confirm to overwrite");
    EXPECT_EQ(asked.message, vlh + " is exist.\n current memo list is inported from .txt or .trn "
                                   "file.  \n Do you want to overwrite? ");
    EXPECT_EQ(asked.style & (wxYES_NO | wxNO_DEFAULT | wxICON_INFORMATION),
              wxYES_NO | wxNO_DEFAULT | wxICON_INFORMATION);
    EXPECT_EQ(lastLog(), "quit to save");
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_CANCEL, &asked));
    EXPECT_EQ(lastLog(), "Error: Unexpected choice, quit to save");
    EXPECT_EQ(tup(readAll(vlh), frame->m_fileKind), tup(std::string("older list"), 2));

    wxTEST_DIALOG(save(), ExpectQuestion(wxID_YES, &asked));
    EXPECT_EQ(tup(readAll(vlh), frame->m_fileKind), tup(memoList(2), 1));
    save(); // no question now: an unexpected dialog would fail the test
    EXPECT_EQ(lastLog(), vlh + " memo list saved.");
}

TEST_F(MemoFileTest, FailedSavesKeepTheOldFile) {
    const std::string wav = dir.file("talk.wav", toneWav(3.0, 44100));
    const std::string old = memoList(4);
    const std::string vlh = dir.file("talk.vlh", old);
    open(wav);
    frame->m_fileKind = 1;
    record(0, 0)->m_memoText = "edited";

    // The disk fills half-way through the temporary file (a file-size limit stands for it).
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(lastLog(), "memo list save failed.");
    // The old list stays, the broken temporary file goes, the memos in memory stay.
    EXPECT_EQ(tup(readAll(vlh), fileCount(), frame->memoSlotCount()), tup(old, 2u, 4u));

    // A folder the temporary file cannot be made in.
    frame->m_waveFileName = dir.path() + "/gone/talk.wav";
    save();
    EXPECT_EQ(lastLog(), "memo list save failed.");

    // A folder in the list's place: the new list stays complete in the temporary file.
    wxFileName::Mkdir(dir.path() + "/blocked.vlh");
    frame->m_waveFileName = dir.path() + "/blocked.wav";
    save();
    const Lines lines = log();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "memo list save failed.");
    const std::string prefix = "save " + dir.path() + "/blocked.vlh.tmp.";
    ASSERT_EQ(lines.back().rfind(prefix, 0), 0u) << lines.back();
    const std::string temporary = lines.back().substr(5, lines.back().size() - 5 - 12);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 12), " , temporary");
    EXPECT_NE(readAll(temporary).find("\r\nedited\r\n"), std::string::npos);
    EXPECT_TRUE(wxFileName::DirExists(dir.path() + "/blocked.vlh"));
}

// Parsing the lines is the transcript reader's; here, what the window builds from them.
TEST_F(TranscriptTest, RangesBecomeGroupsAndTextLinesTheirMemos) {
    EXPECT_EQ(import(3.0, "text before any range\n1 0.0-1.0 A\r\nhello  there\nterm one\n"
                          "2 1.0-1.1 short\ntiny\n3 2.5-2.9 nobody\n"),
              (Lines{"expand range size.", trn + " : trn file read."}));
    EXPECT_EQ(tup(frame->m_fileKind, frame->memoSlotCount(), frame->m_paramMemoList.GetCount(),
                  frame->m_titleSubList.GetCount(), pluses(), shapes()),
              tup(3, 3u, 3u, 3u, 3u, 0u));
    // Group 0: one second at 16 kHz, (16000 - 1 - 2048) / 256 = 54 frames.
    EXPECT_TRUE(paramHas(0, "[TotalLength]=48000 ") && paramHas(0, "[RepeatTimes]=54 "));
    const CArchMemo* param = frame->paramMemoAt(0);
    EXPECT_EQ(tup(param->m_viewLength, param->m_viewStart, param->m_viewCursor, param->m_prior),
              tup(441000, 0, 0, wxString()));
    ASSERT_EQ(frame->termListAt(0)->GetCount(), 2u);
    EXPECT_EQ(memo(0, 0), tup("hello there A", 5900, 0.01f, 0.01f, 0));
    EXPECT_EQ(memo(0, 1), tup("term one", 5310, 0.01f, 0.11f, 1));
    // The sound is shorter than the largest window: every view starts at 0, the cursor at the
    // range. Group 2 has no text.
    EXPECT_EQ(tup(frame->paramMemoAt(1)->m_viewStart, frame->paramMemoAt(1)->m_viewCursor,
                  record(1, 0)->m_memoText),
              tup(0, 16000, "tiny short"));
    EXPECT_EQ(tup(frame->termListAt(2)->GetCount(), record(2, 0)->m_memoText),
              tup(1u, "not exist label body in trn file."));

    // The overview's "+" marks: at 0, 1/3 and 5/6 of the sound, a quarter of 100 pixels lower
    // each; the four lists agree on the title numbers.
    const float across[] = {0.0f, float(16000 / 48000.0), float(40000 / 48000.0)};
    const wxPoint at[] = {{0, 0}, {133, 25}, {333, 50}};
    for (int k = 0; k < 3; ++k) {
        const CArchMemo* sub = frame->subMemoAt(k);
        EXPECT_EQ(tup(plus(k)->m_pos, sub->m_memoText, sub->m_relX, sub->m_relY),
                  tup(at[k], "+", across[k], 0.25f * k));
        EXPECT_EQ((std::vector<int>{plus(k)->m_titleNo, sub->m_titleNo,
                                    frame->paramMemoAt(k)->m_titleNo, record(k, 0)->m_titleNo}),
                  std::vector<int>(4, k));
    }
}

TEST_F(TranscriptTest, LongRangesAreLimitedAndLateViewsClamped) {
    std::string text = "1 0.0-28.0 long\ntitle\n";
    for (int k = 1; k <= 11; ++k)
        text += "line " + std::to_string(k) + "\n";
    text += "2 29.0-29.5 late\nend"; // the last line has no LF
    EXPECT_EQ(import(30.0, text), (Lines{"time range limited.", trn + " : trn file read."}));
    ASSERT_EQ(frame->memoSlotCount(), 2u);
    // Limited to the largest window: (441000 - 1 - 2048) / 256 = 1714 frames.
    EXPECT_TRUE(paramHas(0, "[RepeatTimes]=1714 "));
    ASSERT_EQ(frame->termListAt(0)->GetCount(), 12u);
    // 5900 x (1 - 1.1) would be negative
    EXPECT_EQ(memo(0, 11), tup("line 11", 500, 0.01f, 1.11f, 11));
    // A view cannot start later than 480000 - 1 - 441000 = 38999.
    EXPECT_EQ(tup(frame->paramMemoAt(1)->m_viewStart, frame->paramMemoAt(1)->m_viewCursor,
                  record(1, 0)->m_memoText),
              tup(38999, 464000 - 38999, "end late"));
}

TEST_F(TranscriptTest, AnEndPastTheSoundStopsTheImportKeepingEarlierGroups) {
    // 3.0 s is sample 48000, one past the last.
    EXPECT_EQ(import(3.0, "1 0.0-1.0 A\nfirst\n2  1.0-3.0\tB\nsecond\n"),
              (Lines{"something wrong line : 2 1.0-3.0 B", "quit to read " + trn}));
    EXPECT_EQ(
        tup(frame->memoSlotCount(), frame->m_paramMemoList.GetCount(), record(0, 0)->m_memoText),
        tup(1u, 1u, "first A"));

    // Opening the transcript again without its file: the old list goes, nothing replaces it.
    wxRemoveFile(trn);
    EXPECT_EQ(opened(), Lines{"trn file read failed."});
    EXPECT_EQ(tup(frame->memoSlotCount(), pluses()), tup(0u, 0u));
}

TEST_F(MemoInteropTest, ExportedMemosComeBackOnImport) {
    addGroup(0, "first", CArchMemo::High);
    addGroup(16000, "second", CArchMemo::Mid);
    frame->addTerm("vowel", 300, 200); // the middle of the 600-pixel panel
    // The name's extension chooses the format; without one, the filter (the first) does.
    const std::string grid = dir.path() + "/talk.TextGrid", csv = dir.path() + "/talk.CSV";
    for (const std::string& name : {grid, csv, dir.path() + "/plain", dir.path() + "/talk.txt"})
        viaDialog(ID_ExportMemos, name);
    EXPECT_EQ(newLog(),
              (Lines{grid + " : 2 memo groups exported.", csv + " : 2 memo groups exported.",
                     dir.path() + "/plain.TextGrid : 2 memo groups exported.",
                     dir.path() + "/talk.txt is the old memo text of the sound, "
                                  "not exported."}));
    EXPECT_EQ(readAll(csv).substr(0, 20), "group,title,term,pri");
    EXPECT_EQ(readAll(dir.path() + "/plain.TextGrid"), readAll(grid));

    frame->deleteMemo(frame->m_curTitle, 0);
    memoAt(*frame, 0, 0)->m_memoText = "edited";
    newLog();
    viaDialog(ID_ImportMemos, grid);
    EXPECT_EQ(newLog(), (Lines{grid + " : 2 memo groups imported."}));
    ASSERT_EQ(frame->memoSlotCount(), 2u);
    ASSERT_EQ(frame->termListAt(1)->GetCount(), 2u);
    EXPECT_EQ(tup(frame->m_canvasPanelSub->m_shapeList.GetCount(), text(0, 0), text(1, 0),
                  text(1, 1), frame->subMemoAt(1)->GetMemoPrior(), frame->m_fileKind),
              tup(2u, "first", "second", "vowel", CArchMemo::Mid, 3));
    // The same view and frames as before: 118 of 2048 samples every 256 at 16 kHz.
    EXPECT_EQ(frame->paramMemoAt(1)->m_viewStart + frame->paramMemoAt(1)->m_viewCursor, 16000);
    EXPECT_NE(frame->paramMemoAt(1)->m_memoText.find("[RepeatTimes]=118 "), wxString::npos);
    EXPECT_EQ(int(memoAt(*frame, 1, 1)->m_relX * 600), 300);

    // Saving over a memo-list file asks first.
    const std::string vlh = dir.file("talk.vlh", "older list");
    wxCommandEvent save;
    wxTEST_DIALOG(frame->OnSave(save), wxExpectModal<wxMessageDialog>(wxID_NO));
    EXPECT_EQ(readAll(vlh), "older list");
}

TEST_F(MemoInteropTest, DamagedFileKeepsWhatWasRead) {
    addGroup(0, "old");
    const std::string labels = dir.file("labels.txt", "0.5\t2.5\t[Low] kept\n1.0\n");
    viaDialog(ID_ImportMemos, labels);
    EXPECT_EQ(newLog(), (Lines{"line 2 : label line wrong.", "quit to read " + labels}));
    ASSERT_EQ(frame->memoSlotCount(), 1u);
    EXPECT_EQ(tup(text(0, 0), frame->subMemoAt(0)->GetMemoPrior()), tup("kept", CArchMemo::Low));
    viaDialog(ID_ImportMemos, dir.path() + "/missing.TextGrid");
    EXPECT_EQ(newLog(), (Lines{dir.path() + "/missing.TextGrid : memo file read failed."}));
    EXPECT_EQ(frame->memoSlotCount(), 1u);
}
