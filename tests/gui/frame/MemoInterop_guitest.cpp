#include "MemoLists.h"
#include "support/MemoGroups.h"

namespace {

class MemoInteropTest : public MemoGroupTest {
protected:
    void exportAs(const std::string& path) {
        wxCommandEvent command(wxEVT_MENU, ID_ExportMemos);
        wxTEST_DIALOG(frame->ProcessWindowEvent(command), wxExpectModal<wxFileDialog>(path));
    }
    void importFrom(const std::string& path) {
        wxCommandEvent command(wxEVT_MENU, ID_ImportMemos);
        wxTEST_DIALOG(frame->ProcessWindowEvent(command), wxExpectModal<wxFileDialog>(path));
    }
    const wxString& text(size_t slot, size_t term) {
        return memoAt(*frame, slot, term)->m_memoText;
    }
};

} // namespace

TEST_F(MemoInteropTest, ExportedMemosComeBackOnImport) {
    addGroup(0, "first", CArchMemo::High);
    addGroup(16000, "second", CArchMemo::Mid);
    frame->addTerm("vowel", 300, 200); // the middle of the 600-pixel panel
    const std::string grid = dir.path() + "/talk.TextGrid";
    exportAs(grid);
    EXPECT_EQ(newLog(), (std::vector<std::string>{grid + " : 2 memo groups exported."}));
    // The name's extension chooses the format; without one, the filter (the first) does.
    exportAs(dir.path() + "/talk.CSV");
    EXPECT_EQ(readAll(dir.path() + "/talk.CSV").substr(0, 20), "group,title,term,pri");
    exportAs(dir.path() + "/plain");
    EXPECT_EQ(readAll(dir.path() + "/plain.TextGrid"), readAll(grid));
    newLog();
    exportAs(dir.path() + "/talk.txt");
    EXPECT_EQ(newLog(), (std::vector<std::string>{dir.path() + "/talk.txt is the old memo text "
                                                               "of the sound, not exported."}));

    frame->deleteMemo(frame->m_curTitle, 0);
    memoAt(*frame, 0, 0)->m_memoText = "edited";
    newLog();
    importFrom(grid);
    EXPECT_EQ(newLog(), (std::vector<std::string>{grid + " : 2 memo groups imported."}));
    ASSERT_EQ(frame->memoSlotCount(), 2u);
    EXPECT_EQ(frame->m_canvasPanelSub->m_shapeList.GetCount(), 2u);
    EXPECT_EQ(std::make_pair(text(0, 0), text(1, 0)),
              std::make_pair(wxString("first"), wxString("second")));
    EXPECT_EQ(frame->subMemoAt(1)->GetMemoPrior(), CArchMemo::Mid);
    EXPECT_EQ(frame->paramMemoAt(1)->m_viewStart + frame->paramMemoAt(1)->m_viewCursor, 16000);
    // The same frames as before: 118 of 2048 samples every 256 at 16 kHz.
    EXPECT_NE(frame->paramMemoAt(1)->m_memoText.find("[RepeatTimes]=118 "), wxString::npos);
    ASSERT_EQ(frame->termListAt(1)->GetCount(), 2u);
    EXPECT_EQ(text(1, 1), "vowel");
    EXPECT_EQ(int(memoAt(*frame, 1, 1)->m_relX * 600), 300);
    EXPECT_EQ(frame->m_fileKind, 3);

    // Saving over a memo-list file asks first.
    const std::string vlh = dir.file("talk.vlh", "older list");
    wxCommandEvent save;
    wxTEST_DIALOG(frame->OnSave(save), wxExpectModal<wxMessageDialog>(wxID_NO));
    EXPECT_EQ(readAll(vlh), "older list");
}

TEST_F(MemoInteropTest, DamagedFileKeepsWhatWasRead) {
    addGroup(0, "old");
    const std::string labels = dir.file("labels.txt", "0.5\t2.5\t[Low] kept\n1.0\n");
    importFrom(labels);
    EXPECT_EQ(newLog(),
              (std::vector<std::string>{"line 2 : label line wrong.", "quit to read " + labels}));
    ASSERT_EQ(frame->memoSlotCount(), 1u);
    EXPECT_EQ(text(0, 0), "kept");
    EXPECT_EQ(frame->subMemoAt(0)->GetMemoPrior(), CArchMemo::Low);

    importFrom(dir.path() + "/missing.TextGrid");
    EXPECT_EQ(newLog(), (std::vector<std::string>{dir.path() +
                                                  "/missing.TextGrid : memo file read failed."}));
    EXPECT_EQ(frame->memoSlotCount(), 1u);
}
