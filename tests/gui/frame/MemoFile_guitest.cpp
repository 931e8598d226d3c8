#include <sys/stat.h>

#include <wx/dir.h>

#include "FrameHelpers.h"
#include "engine/memo/MemoInterop.h"
#include "engine/memo/MemoListFile.h"
#include "support/Dialogs.h"

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
    // Opens a 3 s sound at 44.1 kHz (talk.wav) on a 400 x 100 overview.
    std::string openWav() {
        const std::string wav = dir.file("talk.wav", toneWav(3.0, 44100));
        win().canvasPanelSub()->SetSize(400, 100);
        open(wav);
        return wav;
    }
    void save() {
        press(frame, ID_Save);
        pumpEvents();
    }
    size_t fileCount() const {
        wxArrayString names;
        return wxDir::GetAllFiles(dir.path(), &names, "", wxDIR_FILES);
    }
    // Opens talk.trn beside a 16 kHz talk.wav; returns the log lines after "<wav> read.", up to
    // the parameter block's.
    Lines import(double seconds, const std::string& transcript) {
        dir.file("talk.wav", toneWav(seconds, 16000));
        dir.file("talk.trn", transcript);
        win().canvasPanelSub()->SetSize(400, 100);
        newLog();
        open(trn);
        const Lines lines = newLog();
        return Lines(lines.begin() + 1, std::find(lines.begin(), lines.end(), "output parameter."));
    }
    // A view's length, start and cursor and its title's text.
    auto view(size_t slot) const {
        const CArchMemo* param = win().memos().paramAt(slot);
        return tup(param->m_viewLength, param->m_viewStart, param->m_viewCursor,
                   record(slot, 0)->m_memoText);
    }

    const std::string trn = dir.path() + "/talk.trn";
};

using TranscriptTest = MemoFileTest;

using MemoInteropTest = MemoGroupTest;

} // namespace

TEST_F(MemoFileTest, ReadsTheListBesideTheSoundAndSavesItBack) {
    const std::string bytes = memoList(5);
    const std::string vlh = dir.file("talk.vlh", bytes);
    openWav();
    ASSERT_EQ(win().memos().count(), 5u);
    // The last group's view sets the window; no group is current yet.
    EXPECT_EQ(tup(win().sound().requestedWindowLen, win().wave()->m_windowLen,
                  win().jumptext()->GetValue(), win().curTitle(), shapes()),
              tup(44100, 44100, "44100", -1, 0u));
    // A "+" for each group on the overview, in its group's priority.
    ASSERT_EQ(pluses(), 5u);
    EXPECT_EQ(tup(int(plus(2)->m_dispPrior), plus(4)->m_titleNo), tup(2, 4));

    chmod(vlh.c_str(), 0640);
    save();
    struct stat st;
    ASSERT_EQ(stat(vlh.c_str(), &st), 0);
    // The new file is made like the old one, and no temporary file is left behind.
    EXPECT_EQ(tup(log().back(), slurp(vlh), win().sound().kind, st.st_mode & 0777, fileCount()),
              tup(vlh + " memo list saved.", bytes, 1, 0640u, 2u));
}

TEST_F(MemoFileTest, EditsUndoToTheListReadAndASaveIsNeverUndone) {
    const std::string bytes = memoList(3);
    const std::string vlh = dir.file("talk.vlh", bytes);
    openWav();
    // Each edit is a step of its own once its event is over.
    frame->addTitle("new", 100, 50);
    pumpEvents();
    frame->setProirSubTitle(1, DragShape::Low);
    pumpEvents();
    frame->moveMemoToLast(0);
    pumpEvents();
    frame->deleteMemo(2, 0);
    pumpEvents();
    std::string edited;
    ASSERT_TRUE(formatMemoList(win().memos().refs(), edited) && edited != bytes);
    for (int i = 0; i < 5; ++i) // one more than there is
        frame->runCommand(MyFrame::ID_Undo);
    EXPECT_FALSE(win().memos().modified) << "back at the list as read";
    save();
    EXPECT_EQ(slurp(vlh), bytes);
    for (int i = 0; i < 4; ++i)
        frame->runCommand(MyFrame::ID_Redo);
    EXPECT_TRUE(win().memos().modified);
    save();
    frame->runCommand(MyFrame::ID_Undo);
    EXPECT_TRUE(win().memos().modified && slurp(vlh) == edited);
    frame->runCommand(MyFrame::ID_Redo);
    EXPECT_FALSE(win().memos().modified);
}

TEST_F(MemoFileTest, MissingOldAndDamagedLists) {
    const std::string wav = openWav();
    // A cut file keeps the complete groups and says it failed; a foreign file keeps nothing.
    const std::string full = memoList(3);
    const std::string vlh = dir.file("talk.vlh", full.substr(0, full.size() - 10));
    newLog();
    open(wav);
    EXPECT_EQ(
        tup(newLog().at(1), win().memos().count(), pluses(), win().sound().requestedWindowLen),
        tup("memo list read failed.", 2u, 2u, 88200));
    dir.file("talk.vlh", "RIFF\r\n1\r\n");
    open(wav);
    EXPECT_EQ(
        tup(logged("memo list uncorrect ( internal error )."), win().memos().count(), pluses()),
        tup(true, 0u, 0u));
    // Without a memo list the old memo text is read.
    wxRemoveFile(vlh);
    const std::string txt = dir.file("talk.txt", memoList(2));
    open(wav);
    EXPECT_EQ(tup(log().back(), win().memos().count()), tup("output parameter.", 2u));
    EXPECT_TRUE(logged(txt + " : memo list read."));
    // A slot that lost its parameter record stays, and reading says what to do.
    win().memos().params().Append(static_cast<wxObject*>(nullptr));
    newLog();
    open(wav);
    const Lines lines = newLog();
    EXPECT_EQ(Lines(lines.begin() + 1, lines.begin() + 4),
              (Lines{"memo list wrong.", "couldn't delete memo list and read next memo list.",
                     "please, try re-start Vocalith."}));
    win().memos().params().DeleteObject(nullptr);
}

TEST_F(MemoFileTest, ImportedListAsksBeforeOverwriting) {
    dir.file("talk.wav", toneWav(3.0, 44100));
    const std::string vlh = dir.file("talk.vlh", "older list");
    open(dir.file("talk.txt", memoList(2)));
    ASSERT_EQ(tup(win().sound().kind, win().memos().count()), tup(2, 2u));

    Asked asked;
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_CANCEL, &asked));
    EXPECT_EQ(log().back(), "Error: Unexpected choice, quit to save");
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_NO, &asked));
    EXPECT_EQ(tup(asked.caption, asked.message, log().back()),
              tup("Confirm to overwrite",
                  vlh + " is exist.\n current memo list is inported from .txt or .trn file.  \n "
                        "Do you want to overwrite? ",
                  "quit to save"));
    EXPECT_EQ(tup(slurp(vlh), win().sound().kind), tup("older list", 2));

    wxTEST_DIALOG(save(), ExpectQuestion(wxID_YES, &asked));
    EXPECT_EQ(tup(slurp(vlh), win().sound().kind), tup(memoList(2), 1));
    // A transcript's list asks too.
    open(dir.file("talk.trn", "1 0.1-0.5 a\ntitle\n"));
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_NO, &asked));
    EXPECT_EQ(tup(slurp(vlh), win().sound().kind), tup(memoList(2), 3));
}

TEST_F(MemoFileTest, FailedSavesKeepTheOldFile) {
    const std::string old = memoList(4);
    const std::string vlh = dir.file("talk.vlh", old);
    openWav();
    win().sound().kind = OpenSound::fileMemoList;
    record(0, 0)->m_memoText = "edited";

    // The disk fills half-way through the temporary file (a file-size limit stands for it).
    withFileSizeLimit(100, [&] { save(); });
    // The old list stays, the broken temporary file goes, the memos in memory stay.
    EXPECT_EQ(tup(log().back(), slurp(vlh), fileCount(), win().memos().count()),
              tup("memo list save failed.", old, 2u, 4u));

    // A folder in the list's place: the new list is kept in the temporary file, named.
    wxFileName::Mkdir(dir.path() + "/blocked.vlh");
    win().sound().waveFileName = dir.path() + "/blocked.wav";
    save();
    EXPECT_EQ(log().back().rfind("save " + dir.path() + "/blocked.vlh.tmp.", 0), 0u)
        << log().back();
}

// Making the groups is the engine's (TranscriptFile tests); here, that the window takes them for
// its sound (its largest window, its overview) with its log lines.
TEST_F(TranscriptTest, LongRangesAreLimitedAndLateViewsClamped) {
    EXPECT_EQ(import(30.0, "text before any range\n1 0.0-28.0 long\ntitle\nterm\n"
                           "2 29.0-29.05 late\nend\n3 29.5-29.9 nobody"),
              (Lines{"time range limited.", "expand range size.", trn + " : trn file read."}));
    EXPECT_EQ(tup(win().sound().kind, win().memos().count(), win().memos().params().GetCount(),
                  win().memos().subs().GetCount(), pluses(), shapes(),
                  win().memos().termsAt(0)->GetCount()),
              tup(3, 3u, 3u, 3u, 3u, 0u, 2u));
    // No view starts later than 480000 - 1 - 441000 = 38999; the cursor is at the range. Group 2
    // has no text.
    EXPECT_EQ(view(0), tup(441000, 0, 0, "title long"));
    EXPECT_EQ(view(1), tup(441000, 38999, 464000 - 38999, "end late"));
    EXPECT_EQ(view(2), tup(441000, 38999, 472000 - 38999, "not exist label body in trn file."));
}

TEST_F(TranscriptTest, AnEndPastTheSoundStopsTheImportKeepingEarlierGroups) {
    // 3.0 s is sample 48000, one past the last.
    EXPECT_EQ(import(3.0, "1 0.0-1.0 A\nfirst\n2  1.0-3.0\tB\nsecond\n"),
              (Lines{"something wrong line : 2 1.0-3.0 B", "quit to read " + trn}));
    EXPECT_EQ(
        tup(win().memos().count(), win().memos().params().GetCount(), record(0, 0)->m_memoText),
        tup(1u, 1u, "first A"));

    // Opening the transcript again without its file: the old list goes, nothing replaces it.
    wxRemoveFile(trn);
    open(trn);
    EXPECT_EQ(tup(logged("trn file read failed."), win().memos().count(), pluses()),
              tup(true, 0u, 0u));
}

TEST_F(MemoInteropTest, ExportedMemosComeBackOnImport) {
    addGroup(0, "first", CArchMemo::High);
    addGroup(16000, "second", CArchMemo::Mid);
    frame->addTerm("vowel", 300, 200); // the middle of the 600-pixel panel
    // The name's extension chooses the format; without one, the filter (the first) does.
    const std::string grid = dir.path() + "/plain.TextGrid", csv = dir.path() + "/talk.CSV";
    for (const std::string& name : {dir.path() + "/plain", csv, dir.path() + "/talk.txt"})
        wxTEST_DIALOG(press(frame, ID_ExportMemos, wxEVT_MENU), wxExpectModal<wxFileDialog>(name));
    EXPECT_EQ(newLog(),
              (Lines{grid + " : 2 memo groups exported.", csv + " : 2 memo groups exported.",
                     dir.path() + "/talk.txt is the old memo text of the sound, not exported."}));
    EXPECT_EQ(slurp(csv).substr(0, 20), "group,title,term,pri");

    // The import replaces the list in the window, with the same stretch as before.
    frame->deleteMemo(win().curTitle(), 0);
    Asked asked;
    wxTEST_DIALOG(press(frame, ID_ImportMemos, wxEVT_MENU), ExpectQuestion(wxID_NO, &asked),
                  wxExpectModal<wxFileDialog>(grid));
    const CArchMemo* param = win().memos().paramAt(1);
    ASSERT_EQ(tup(newLog().back(), win().memos().count(), win().memos().termsAt(1)->GetCount()),
              tup(grid + " : 2 memo groups imported.", 2u, 2u));
    EXPECT_EQ(tup(record(1, 1)->m_memoText, win().memos().subAt(1)->GetMemoPrior(),
                  win().sound().kind, param->m_viewStart + param->m_viewCursor,
                  int(record(1, 1)->m_relX * 600)),
              tup("vowel", CArchMemo::Mid, 3, 16000, 300));
}

TEST_F(MemoFileTest, DamagedListsKeepEveryGroupAndTheOriginalOnce) {
    // Places off the panel (a transcript's relY 1.11, a negative relX) are drawn clamped and
    // saved as they were read: byte for byte, and no backup is needed.
    std::string odd = memoList(2);
    odd.replace(odd.find("0.187500"), 8, "1.110000");
    odd.replace(odd.find("0.062500"), 8, "-0.500000");
    const std::string vlh = dir.file("talk.vlh", odd);
    openWav();
    EXPECT_EQ(tup(plus(0)->m_pos.x, plus(1)->m_pos.x), tup(0, 400));
    save();
    EXPECT_EQ(tup(slurp(vlh), fileCount()), tup(odd, 2u));

    // One damaged number in eight groups costs that number only; the line is named. The first
    // save keeps the damaged file, a later damaged one goes beside it under the next number.
    const std::string full = memoList(8);
    std::string damaged[2] = {full, full};
    for (int i = 0; i < 2; ++i) {
        const size_t at = full.find(i ? "\r\n60000\r\n" : "\r\n30000\r\n") + 2;
        damaged[i][at] = 'x';
        const int line = int(std::count(full.begin(), full.begin() + at, '\n')) + 1;
        dir.file("talk.vlh", damaged[i]);
        newLog();
        open(dir.path() + "/talk.wav");
        EXPECT_EQ(tup(win().memos().count(), newLog().at(1)),
                  tup(8u, vlh + " : line " + std::to_string(line) + " damaged, read as 0."));
        save();
        const std::string backup = vlh + (i ? ".bak2" : ".bak");
        EXPECT_EQ(newLog(), (Lines{vlh + " kept as " + backup + " before saving.",
                                   vlh + " memo list saved."}));
        EXPECT_EQ(tup(slurp(backup), readMemoListFile(vlh).slots.size()), tup(damaged[i], 8u));
    }
    save(); // a clean list: no more copies
    EXPECT_EQ(tup(slurp(vlh + ".bak"), fileCount()), tup(damaged[0], 4u));
}

TEST_F(MemoFileTest, AListChangedOnDiskAsksOverwriteKeepBothOrCancel) {
    const std::string vlh = dir.file("talk.vlh", memoList(3));
    openWav();
    record(0, 0)->m_memoText = "mine";
    std::string mine;
    ASSERT_TRUE(formatMemoList(win().memos().refs(), mine));
    dir.file("talk.vlh", memoList(5)); // another program's

    Asked asked;
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_CANCEL, &asked));
    EXPECT_EQ(tup(asked.caption, asked.message, slurp(vlh), log().back()),
              tup("Memo list changed on disk",
                  vlh + " has been changed by another program since it was read.\nOverwrite it, "
                        "keep both (save this list beside it), or cancel?",
                  memoList(5), "quit to save"));
    // Keep both: ours beside theirs, which stays; the next save asks again.
    const std::string beside = dir.path() + "/talk-2.vlh";
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_NO, &asked));
    EXPECT_EQ(tup(slurp(beside), slurp(vlh), log().back()),
              tup(mine, memoList(5), beside + " memo list saved."));
    wxTEST_DIALOG(save(), ExpectQuestion(wxID_YES, &asked));
    save(); // our own file now: no question
    EXPECT_EQ(tup(slurp(vlh), fileCount()), tup(mine, 3u));
}

// Closing the window, opening a file (by ReadWave or Recent files, which a drop shares) and
// importing memos over unsaved changes ask first.
using UnsavedMemos = MemoInteropTest;

TEST_F(UnsavedMemos, CloseOpenAndImportAskSaveDiscardOrCancel) {
    const std::string vlh = dir.path() + "/talk.vlh";
    const std::string files[3] = {"", dir.path() + "/talk.wav", dir.path() + "/none.TextGrid"};
    const char* before[4] = {"closing?", "opening another file?", "importing memos?",
                             "opening another file?"};
    for (int trigger = 0; trigger < 4; ++trigger) {
        for (int answer : {wxID_YES, wxID_NO, wxID_CANCEL}) {
            SCOPED_TRACE(testing::Message() << trigger << " " << answer);
            wxRemoveFile(vlh);
            TearDown();
            SetUp();
            const int id[4] = {0, ID_Read, ID_ImportMemos, MyFrame::ID_RecentFirst};
            const auto act = [&] {
                trigger ? press(frame, id[trigger], trigger == 1 ? wxEVT_BUTTON : wxEVT_MENU)
                        : void(frame->Close());
            };
            // Unchanged, nothing asks (an unexpected dialog fails the test).
            if (trigger == 1 && answer == wxID_YES)
                wxTEST_DIALOG(act(), wxExpectModal<wxFileDialog>(files[1]));
            addGroup(0, "first");
            // A running tour does not skip the question; Save ends it first.
            win().tourRunning() = trigger == 0;
            Asked asked;
            if (trigger == 1) { // the file is chosen first, then the question comes
                wxTEST_DIALOG(act(), wxExpectModal<wxFileDialog>(files[1]),
                              ExpectQuestion(answer, &asked));
            } else if (trigger == 2 && answer != wxID_CANCEL) {
                wxTEST_DIALOG(act(), ExpectQuestion(answer, &asked),
                              wxExpectModal<wxFileDialog>(files[trigger]));
            } else {
                wxTEST_DIALOG(act(), ExpectQuestion(answer, &asked));
            }
            // Reopening the sound reads what was saved; the import finds no file.
            const bool kept = answer == wxID_CANCEL;
            EXPECT_EQ(tup(asked.message, asked.caption, wxFileExists(vlh),
                          wxTheApp->IsScheduledForDestruction(frame), bool(win().tourRunning()),
                          win().memos().count()),
                      tup("Save changes to the memo list before " + std::string(before[trigger]),
                          "Unsaved memos", answer == wxID_YES, trigger == 0 && !kept,
                          trigger == 0 && answer != wxID_YES,
                          kept || trigger % 2 == 0 || answer == wxID_YES ? 1u : 0u));
            win().tourRunning() = false;
        }
    }
}
