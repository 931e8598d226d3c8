#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <tuple>

#include <wx/dir.h>
#include <wx/msgdlg.h>

#include "MemoLists.h"
#include "engine/memo/MemoListFile.h"
#include "engine/sound/CWavPara.h"
#include "support/Dialogs.h"
#include "support/SoundFiles.h"

namespace {

// Groups with priorities 0, 1, 2, 0, ... across the overview, two terms each; the views start
// 30000 samples apart and the last one is 44100 samples long.
std::string memoList(int groups) {
    std::vector<MemoSlot> slots(groups);
    for (int k = 0; k < groups; ++k) {
        MemoSlot& s = slots[k];
        s.param = std::make_unique<CArchMemo>();
        s.param->m_memoText = "[SsftSize]=4096\n[Interval]=512";
        s.param->m_viewLength = k + 1 == groups ? 44100 : 88200;
        s.param->m_viewStart = 30000 * k;
        s.sub = std::make_unique<CArchMemo>();
        s.sub->m_memoText = "+";
        s.sub->SetMemoPrior(CArchMemo::MemoPrior(k % 3));
        s.sub->m_relX = 0.15f * k + 0.05f;
        s.sub->m_relY = 0.2f * k;
        for (int j = 0; j < 2; ++j) {
            s.terms.push_back(std::make_unique<CArchMemo>());
            s.terms.back()->m_memoText = wxString::Format("memo %d.%d", k, j);
        }
    }
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    return bytes;
}

class MemoFileTest : public FrameTest {
protected:
    void save() {
        wxCommandEvent press(wxEVT_BUTTON, ID_Save);
        frame->ProcessWindowEvent(press);
        pumpEvents();
    }
    std::string lastLog() const {
        const auto lines = log();
        return lines.empty() ? "" : lines.back();
    }
    bool logged(const std::string& text) const {
        const auto lines = log();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    size_t fileCount() const {
        wxArrayString names;
        return wxDir::GetAllFiles(dir.path(), &names, "", wxDIR_FILES);
    }

    ScratchDir dir;
};

} // namespace

TEST_F(MemoFileTest, ReadsTheListBesideTheSoundAndSavesItBack) {
    const std::string wav = dir.file("talk.wav", toneWav(3.0, 44100));
    const std::string bytes = memoList(5);
    const std::string vlh = dir.file("talk.vlh", bytes);
    open(wav);

    EXPECT_TRUE(logged(vlh + " : memo list read."));
    ASSERT_EQ(frame->memoSlotCount(), 5u);
    EXPECT_EQ(frame->m_requestedWindowLen, 44100); // the last group's view
    EXPECT_EQ(frame->m_wavePara->m_windowLen, 44100);
    EXPECT_EQ(frame->m_jumptext->GetValue(), "44100");
    EXPECT_EQ(frame->m_curTitle, -1);
    EXPECT_TRUE(frame->m_canvasPanel->m_shapeList.IsEmpty());
    const wxSize overview = frame->m_canvasPanelSub->GetSize();
    ASSERT_EQ(frame->m_canvasPanelSub->m_shapeList.GetCount(), 5u);
    for (int k = 0; k < 5; ++k) {
        const DragShape* mark = shapeAt(frame->m_canvasPanelSub->m_shapeList, k);
        const CArchMemo* sub = frame->subMemoAt(k);
        const wxPoint at(int(overview.GetWidth() * double(sub->m_relX)),
                         int(overview.GetHeight() * double(sub->m_relY)));
        EXPECT_EQ(std::make_tuple(mark->m_pos, int(mark->m_dispPrior), mark->m_shapeText,
                                  mark->m_titleNo),
                  std::make_tuple(at, k % 3, wxString("+"), k));
        EXPECT_TRUE(mark->m_bitmap.IsOk() && mark->m_bitmap.GetMask());
    }

    // Views from the file are fitted to this 3 s sound before anything uses them.
    int32_t start = -1, cursor = -1;
    EXPECT_TRUE(frame->memoViewFits(*frame->paramMemoAt(0), start, cursor));
    EXPECT_EQ(start, 0);
    // Group 4 starts at 120000, beyond the last window start 132300 - 44100.
    EXPECT_FALSE(frame->memoViewFits(*frame->paramMemoAt(4), start, cursor));
    EXPECT_EQ(start, 88200);
    EXPECT_EQ(cursor, frame->m_wavePara->m_cursorRange);
    EXPECT_EQ(frame->paramMemoAt(4)->m_viewStart, 120000) << "the record itself is not changed";

    chmod(vlh.c_str(), 0640);
    save();
    EXPECT_EQ(lastLog(), vlh + " memo list saved.");
    EXPECT_EQ(readAll(vlh), bytes);
    EXPECT_EQ(frame->m_fileKind, 1);
    struct stat st;
    ASSERT_EQ(stat(vlh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the new file is made like the old one";

    memoAt(*frame, 2, 0)->m_memoText = "changed\nline";
    frame->toSaveMemoToFile();
    EXPECT_NE(readAll(vlh).find("\r\nchanged&#xD;line\r\n"), std::string::npos);
    EXPECT_EQ(fileCount(), 2u) << "no temporary file is left behind";

    // Opening the list itself reads it back; a busy frame saves nothing.
    open(vlh);
    EXPECT_EQ(memoAt(*frame, 2, 0)->m_memoText, "changed\nline");
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
    EXPECT_EQ(frame->memoSlotCount(), 0u);
    EXPECT_EQ(frame->m_wavePara->m_windowLen, 132300); // the default window, cut to the sound

    // Without a memo-list file the old memo text beside the sound is read.
    const std::string txt = dir.file("talk.txt", memoList(2));
    open(wav);
    EXPECT_TRUE(logged(txt + " : memo list read."));
    EXPECT_EQ(frame->memoSlotCount(), 2u);

    // A cut file keeps the complete groups and says it failed; a foreign file keeps nothing.
    const std::string full = memoList(3);
    const std::string vlh = dir.file("talk.vlh", full.substr(0, full.size() - 10));
    const size_t before = log().size();
    open(wav);
    EXPECT_EQ(log().at(before + 1), "memo list read failed.");
    EXPECT_EQ(frame->memoSlotCount(), 2u);
    EXPECT_EQ(frame->m_canvasPanelSub->m_shapeList.GetCount(), 2u);
    EXPECT_EQ(frame->m_requestedWindowLen, 88200);
    EXPECT_FALSE(logged(vlh + " : memo list read."));
    dir.file("talk.vlh", "RIFF\r\n1\r\n");
    open(wav);
    EXPECT_TRUE(logged("memo list uncorrect ( internal error )."));
    EXPECT_EQ(frame->memoSlotCount(), 0u);
    EXPECT_EQ(frame->m_canvasPanelSub->m_shapeList.GetCount(), 0u);
}

TEST_F(MemoFileTest, ImportedListAsksBeforeOverwriting) {
    dir.file("talk.wav", toneWav(3.0, 44100));
    const std::string txt = dir.file("talk.txt", memoList(2));
    const std::string vlh = dir.file("talk.vlh", "older list");
    open(txt);
    ASSERT_EQ(frame->m_fileKind, 2);
    ASSERT_EQ(frame->memoSlotCount(), 2u);

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
    EXPECT_EQ(readAll(vlh), "older list");
    EXPECT_EQ(frame->m_fileKind, 2);

    wxTEST_DIALOG(save(), ExpectQuestion(wxID_YES, &asked));
    EXPECT_EQ(lastLog(), vlh + " memo list saved.");
    EXPECT_EQ(readAll(vlh), memoList(2));
    EXPECT_EQ(frame->m_fileKind, 1);
    save(); // no question now: an unexpected dialog would fail the test
    EXPECT_EQ(lastLog(), vlh + " memo list saved.");
}

TEST_F(MemoFileTest, FailedSavesKeepTheOldFile) {
    const std::string wav = dir.file("talk.wav", toneWav(3.0, 44100));
    const std::string old = memoList(4);
    const std::string vlh = dir.file("talk.vlh", old);
    open(wav);
    frame->m_fileKind = 1;
    memoAt(*frame, 0, 0)->m_memoText = "edited";

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
    EXPECT_EQ(readAll(vlh), old);
    EXPECT_EQ(fileCount(), 2u) << "the broken temporary file is removed";
    EXPECT_EQ(frame->memoSlotCount(), 4u);

    // A folder the temporary file cannot be made in.
    frame->m_waveFileName = dir.path() + "/gone/talk.wav";
    save();
    EXPECT_EQ(lastLog(), "memo list save failed.");

    // A folder in the list's place: the new list stays complete in the temporary file.
    wxFileName::Mkdir(dir.path() + "/blocked.vlh");
    frame->m_waveFileName = dir.path() + "/blocked.wav";
    save();
    const auto lines = log();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "memo list save failed.");
    const std::string prefix = "save " + dir.path() + "/blocked.vlh.tmp.";
    ASSERT_EQ(lines.back().rfind(prefix, 0), 0u) << lines.back();
    const std::string temporary = lines.back().substr(5, lines.back().size() - 5 - 12);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 12), " , temporary");
    EXPECT_NE(readAll(temporary).find("\r\nedited\r\n"), std::string::npos);
    EXPECT_TRUE(wxFileName::DirExists(dir.path() + "/blocked.vlh"));
    EXPECT_EQ(readAll(vlh), old);
}
