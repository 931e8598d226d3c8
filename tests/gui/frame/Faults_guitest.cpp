#include <unistd.h>

#include "engine/memo/MemoListFile.h"
#include "gui/frame/FrameHelpers.h"

// Faults the frame meets from outside: a neighbour's memo list, a sound file cut while it is
// open, an absurd picture.

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
// talk-0.wav. Neither save, nor a failed one, may touch the other sound's list.
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
    const auto saved = std::make_pair(oneGroupList("talk 2"), oneGroupList("zero 2"));
    EXPECT_EQ(lists(), saved);

    // A save that keeps its temporary file keeps it under its own name.
    memolist_detail::FileCalls calls;
    calls.rename = [](const char*, const char*) { return errno = ENOSPC, -1; };
    memolist_detail::setFileCalls(&calls);
    open(talk);
    click(ID_Save);
    memolist_detail::setFileCalls(nullptr);
    EXPECT_EQ(lists(), saved);
    std::vector<std::string> files = filesIn(dir.path());
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[3].rfind("talk.vlh.tmp.", 0), 0u) << files[3]; // sorted between the two
    EXPECT_EQ(readAll(dir.path() + "/" + files[3]), saved.first);
    files.erase(files.begin() + 3);
    EXPECT_EQ(files,
              (std::vector<std::string>{"talk-0.vlh", "talk-0.wav", "talk.vlh", "talk.wav"}));
}

// The file shrinks under the open sound; the view is then moved past its new end. The missing
// samples read as silence everywhere (window, analysis, play image, voiceprint), and the part
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

    ScopedRecordingSound sound;
    click(ID_PlayNonMute);
    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    const std::string& played = sound.recorder.plays[0].samples;
    EXPECT_FALSE(played.empty());
    EXPECT_EQ(std::count(played.begin(), played.end(), '\0'), long(played.size()));

    frame->toVoiceprint();
    ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
    EXPECT_EQ(lastLog(frame), "voiceprint calculation finished.");
    EXPECT_TRUE(dataLockFree());

    // Back at the start the samples that remain are read again.
    click(ID_MostLLLLeft);
    EXPECT_EQ(wave.m_windowStart, 0);
    for (int i : {0, 1, 999, 440999})
        EXPECT_EQ(wave.m_window[i], double(samples[size_t(i)])) << i;
}

// A PNG that claims 10^6 x 10^6 pixels (4 TB of pixels), complete with data and end chunk, is
// refused by its header before the decoder could try to allocate for it.
TEST_F(FaultTest, PictureClaimingAMillionByAMillionPixelsIsRefusedUndecoded) {
    frame->m_baseFileName = dir.path() + "/talk";
    // IHDR: 1000000 = 0x000F4240 square, 8-bit RGB; IDAT: one stored zlib block of a few zero
    // bytes; IEND. Each chunk ends in its CRC.
    const std::string png(
        "\x89PNG\r\n\x1A\n"
        "\0\0\0\x0DIHDR\0\x0F\x42\x40\0\x0F\x42\x40\x08\x02\0\0\0\xD3\x0F\xAF\x2A"
        "\0\0\0\x0FIDAT\x78\x01\x01\x04\0\xFB\xFF\0\0\0\0\0\x04\0\x01\x65\x49\xC3\x60"
        "\0\0\0\0IEND\xAE\x42\x60\x82",
        72);
    dir.file("talk-huge.png", png);

    frame->readImageMemo("[ImageMemo]=huge.png", 1, 2, 0, 1, DragShape::High);
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 1u);
    EXPECT_EQ(shapeAt(frame->m_canvasPanel->m_shapeList, 0)->m_shapeText,
              "image size not good. will you edit this ?");
}
