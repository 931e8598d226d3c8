#include <unistd.h>

#include "engine/memo/MemoListFile.h"
#include "gui/frame/FrameHelpers.h"

// Faults the frame meets from outside: a neighbour's memo list, a sound file cut while it is
// open.

namespace {

// A one-group memo list whose title memo says `text`.
std::string oneGroupList(const char* text) {
    std::vector<MemoSlot> slots(1);
    MemoSlot& slot = slots[0];
    slot.param = std::make_unique<CArchMemo>();
    slot.param->m_memoText = "[SsftSize]=2048 [Interval]=512 [RepeatTimes]=10 ";
    slot.sub = std::make_unique<CArchMemo>();
    slot.sub->m_memoText = "+";
    slot.terms.push_back(std::make_unique<CArchMemo>());
    slot.terms[0]->m_memoText = text;
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    return bytes;
}

class FaultTest : public FrameTest {
protected:
    void click(int id) {
        press(frame, id);
        pumpEvents();
    }
    ScratchDir dir;
};

} // namespace

// The old way of saving wrote "talk-0.vlh" as its temporary file, which is the memo list of
// talk-0.wav. Neither save may touch the other sound's list, nor leave a file behind.
TEST_F(FaultTest, TwoSoundsWhoseNamesOverlapKeepTheirOwnLists) {
    const std::string tone = toneWav(1.0, 16000);
    const std::string talk = dir.file("talk.wav", tone), talk0 = dir.file("talk-0.wav", tone);
    const std::string list = dir.file("talk.vlh", oneGroupList("talk"));
    const std::string list0 = dir.file("talk-0.vlh", oneGroupList("talk zero"));
    auto lists = [&] { return std::make_pair(readAll(list), readAll(list0)); };
    // Opens a sound, gives its one group's title memo a new text and saves.
    auto editAndSave = [&](const std::string& sound, const char* text) {
        open(sound);
        ASSERT_EQ(frame->memoSlotCount(), 1u);
        memoAt(*frame, 0, 0)->m_memoText = text;
        click(ID_Save);
    };
    editAndSave(talk, "talk 2");
    EXPECT_EQ(lastLog(frame), list + " memo list saved.");
    EXPECT_EQ(lists(), std::make_pair(oneGroupList("talk 2"), oneGroupList("talk zero")));
    editAndSave(talk0, "zero 2");
    EXPECT_EQ(lists(), std::make_pair(oneGroupList("talk 2"), oneGroupList("zero 2")));
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"talk-0.vlh", "talk-0.wav", "talk.vlh", "talk.wav"}));
}

// The file shrinks under the open sound; the view is then moved past its new end. The missing
// samples read as silence in the window and the analysed stretch, and the part
// that is still there reads back as it was. The reader gives no log line for a short read.
TEST_F(FaultTest, SoundCutWhileOpenReadsAsSilencePastItsNewEnd) {
    // Longer than the sample cache (five minutes at 44.1 kHz), so that moving far ahead
    // has to read the file again.
    std::vector<int16_t> samples(CWavPara::kDefaultCacheLen + 600000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(1 + i % 1000);
    const std::string path = dir.file("long.wav", testwav::wav(samples));
    open(path);
    ASSERT_EQ(frame->m_wavePara->m_totalSamples, int32_t(samples.size()));
    ASSERT_EQ(truncate(path.c_str(), 44 + 2 * 1000000), 0);

    frame->m_jumptext->SetValue(wxString::Format("%zu", samples.size()));
    click(ID_RRRRigth);
    CWavPara& wave = *frame->m_wavePara;
    ASSERT_GT(int64_t(wave.m_windowStart), int64_t(CWavPara::kDefaultCacheLen) - wave.m_windowLen);
    EXPECT_EQ(std::count(wave.m_window, wave.m_window + wave.m_windowLen, 0.0), wave.m_windowLen);
    const CWorkMemory& work = *frame->m_workPara;
    EXPECT_EQ(std::count(work.m_wave, work.m_wave + work.m_excutionSize, 0.0), work.m_excutionSize);

    // Back at the start the samples that remain are read again.
    click(ID_MostLLLLeft);
    EXPECT_EQ(wave.m_windowStart, 0);
    for (int i : {0, 1, 999, 440999})
        EXPECT_EQ(wave.m_window[i], double(samples[size_t(i)])) << i;
}
