#include <string>

#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/memo/MemoInterop.h"
#include "engine/sound/CWavPara.h"

bool MyFrame::readTrn() {
    if (m_sound.waveFileName.IsEmpty())
        return false;
    VOCALITH_REQUIRE(m_sound.wave(), "wave");
    VOCALITH_REQUIRE(m_canvasPanelSub, "m_canvasPanelSub");

    // The old list goes first, unless it is broken: then it stays for the user to see.
    if (!clearIntactMemoList())
        return false;
    // What the transcript holds is what the list holds: nothing unsaved yet. Saving asks before
    // it replaces a memo-list file (m_sound.kind), so no file is watched.
    m_memos.modified = false;
    m_memos.onDiskName.clear();
    m_memos.backupPending = false;

    const std::optional<wxString> trn = m_sound.beside(".trn");
    if (!trn)
        return false;
    const wxString& trnName = *trn;
    // The engine reads the file and makes the groups; the window adopts them.
    const CWavPara& wave = *m_sound.wave();
    MemoImportSound sound = memoImportSoundOf(wave);
    sound.freqHigh = wave.m_freqHigh;
    sound.overviewHeight = m_canvasPanelSub->GetSize().y;
    MemoImport made = importMemoFile(std::string(trnName.utf8_str()), sound);
    for (const std::string& note : made.notes)
        wxLogMessage("%s", wxString::FromUTF8(note.c_str()));
    adoptMemoSlots(made.slots);
    m_memos.settle(true);
    if (made.result == MemoImport::importOpenFailed) {
        wxLogMessage("trn file read failed.");
        return false;
    }
    if (made.result == MemoImport::importDamaged) {
        wxLogMessage("%s", wxString::FromUTF8(made.message.c_str()));
        wxLogMessage("%s", "quit to read " + trnName);
        return false;
    }
    wxLogMessage("%s", trnName + " : trn file read.");
    return true;
}
