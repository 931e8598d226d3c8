#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>

#include <wx/dir.h>

#include "gui/frame/VoiceprintWorker.h"
#include "engine/memo/MemoListFile.h"
#include "gui/frame/FrameHelpers.h"
#include "gui/frame/MemoTour.h"
#include "support/MemoGroups.h"

// Faults the frame meets from outside: a neighbour's memo list, a sound file cut while it is
// open, a disk too small for an export, threads the system refuses, an absurd picture.

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> filesIn(const std::string& folder) {
    wxArrayString names;
    wxDir::GetAllFiles(folder, &names, "", wxDIR_FILES);
    std::vector<std::string> all;
    for (const wxString& n : names)
        all.push_back(n.AfterLast('/').utf8_string());
    std::sort(all.begin(), all.end());
    return all;
}

// A one-group memo list whose title memo says `text`.
std::string oneGroupList(const char* text) {
    std::vector<MemoSlot> slots(1);
    slots[0].param = std::make_unique<CArchMemo>();
    slots[0].param->m_memoText = "[SsftSize]=2048 [Interval]=512 [RepeatTimes]=10 ";
    slots[0].sub = std::make_unique<CArchMemo>();
    slots[0].sub->m_memoText = "+";
    slots[0].terms.push_back(std::make_unique<CArchMemo>());
    slots[0].terms[0]->m_memoText = text;
    std::string bytes;
    formatMemoList(memoSlotRefs(slots), bytes);
    return bytes;
}

class FaultTest : public FrameTest {
protected:
    void press(int id) {
        wxCommandEvent event(wxEVT_BUTTON, id);
        frame->ProcessWindowEvent(event);
        pumpEvents();
    }
    std::string lastLog() const {
        const auto lines = log();
        return lines.empty() ? "" : lines.back();
    }

    ScratchDir dir;
};

} // namespace

// The old way of saving wrote "talk-0.vlh" as its temporary file, which is the memo list of
// talk-0.wav. Neither save, nor a failed one, may touch the other sound's list.
TEST_F(FaultTest, TwoSoundsWhoseNamesOverlapKeepTheirOwnLists) {
    const std::string tone = toneWav(1.0, 16000);
    const std::string talk = dir.file("talk.wav", tone);
    const std::string talk0 = dir.file("talk-0.wav", tone);
    const std::string list = dir.file("talk.vlh", oneGroupList("talk"));
    const std::string list0 = dir.file("talk-0.vlh", oneGroupList("talk zero"));

    // Opens a sound, gives its one group's title memo a new text and saves.
    auto editAndSave = [&](const std::string& sound, const char* text) {
        open(sound);
        ASSERT_EQ(frame->memoSlotCount(), 1u);
        static_cast<CArchMemo*>(frame->termListAt(0)->GetFirst()->GetData())->m_memoText = text;
        press(ID_Save);
    };
    editAndSave(talk, "talk 2");
    EXPECT_EQ(lastLog(), list + " memo list saved.");
    EXPECT_EQ(readAll(list), oneGroupList("talk 2"));
    EXPECT_EQ(readAll(list0), oneGroupList("talk zero"));
    editAndSave(talk0, "zero 2");
    EXPECT_EQ(readAll(list0), oneGroupList("zero 2"));
    EXPECT_EQ(readAll(list), oneGroupList("talk 2"));

    // A save that keeps its temporary file keeps it under its own name.
    memolist_detail::FileCalls calls;
    calls.rename = [](const char*, const char*) { return errno = ENOSPC, -1; };
    memolist_detail::setFileCalls(&calls);
    open(talk);
    press(ID_Save);
    memolist_detail::setFileCalls(nullptr);
    EXPECT_EQ(readAll(list0), oneGroupList("zero 2"));
    EXPECT_EQ(readAll(list), oneGroupList("talk 2"));
    std::vector<std::string> files = filesIn(dir.path());
    ASSERT_EQ(files.size(), 5u);
    EXPECT_EQ(files[3].rfind("talk.vlh.tmp.", 0), 0u) << files[3]; // sorted between the two
    EXPECT_EQ(readAll(dir.path() + "/" + files[3]), oneGroupList("talk 2"));
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
    press(ID_RRRRigth);
    CWavPara& wave = *frame->m_wavePara;
    ASSERT_GT(int64_t(wave.m_windowStart), int64_t(CWavPara::kDefaultCacheLen) - wave.m_windowLen);
    EXPECT_EQ(std::count(wave.m_window, wave.m_window + wave.m_windowLen, 0.0), wave.m_windowLen);
    const CWorkMemory& work = *frame->m_workPara;
    EXPECT_EQ(std::count(work.m_wave, work.m_wave + work.m_excutionSize, 0.0), work.m_excutionSize);

    ScopedRecordingSound sound;
    press(ID_PlayNonMute);
    ASSERT_EQ(sound.recorder.plays.size(), 1u);
    const std::string& played = sound.recorder.plays[0].samples;
    EXPECT_FALSE(played.empty());
    EXPECT_EQ(std::count(played.begin(), played.end(), '\0'), long(played.size()));

    frame->toVoiceprint();
    ASSERT_TRUE(pumpUntil([&] { return !frame->m_voiceprintRunning; }));
    EXPECT_EQ(lastLog(), "voiceprint calculation finished.");
    EXPECT_TRUE(dataLockFree());

    // Back at the start the samples that remain are read again.
    press(ID_MostLLLLeft);
    EXPECT_EQ(wave.m_windowStart, 0);
    for (int i : {0, 1, 999, 440999})
        EXPECT_EQ(wave.m_window[i], double(samples[size_t(i)])) << i;
}

// A disk that fills during the export, and a place where the file cannot be made: nothing is
// left behind under the export's name, and the log says why.
TEST_F(FaultTest, ExportThatCannotBeWrittenLeavesNoFile) {
    open(dir.file("talk.wav", testwav::wav(testwav::ramp(200000))));
    // One group of high priority (a memo's default): 52736 samples, 105516 bytes.
    auto* param = new CArchMemo;
    param->m_memoText = "[SsftSize]=2048 [Interval]=512 [RepeatTimes]=100 ";
    frame->m_paramMemoList.Append(param);
    frame->m_titleSubList.Append(new CArchMemo);
    frame->m_titleTermLists.Append(new wxList);

    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = {50000, saved.rlim_max};
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    press(ID_ExportWav);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(lastLog(), "could not write wave file to export");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"talk.wav"});

    // A folder squats on the export's name.
    wxFileName::Mkdir(dir.path() + "/talk-ExportFromMemo.wav");
    press(ID_ExportWav);
    EXPECT_EQ(lastLog(), "could not create wave file to export");

    // With room again, the same export is whole.
    wxFileName::Rmdir(dir.path() + "/talk-ExportFromMemo.wav");
    press(ID_ExportWav);
    EXPECT_EQ(lastLog(), dir.path() + "/talk-ExportFromMemo.wav exported");
    EXPECT_EQ(readAll(dir.path() + "/talk-ExportFromMemo.wav").size(), 44u + 2 * 52736);
}

// A PNG that claims 10^6 x 10^6 pixels (4 TB of pixels), complete with data and end chunk, is
// refused by its header before the decoder could try to allocate for it.
TEST_F(FaultTest, PictureClaimingAMillionByAMillionPixelsIsRefusedUndecoded) {
    frame->m_baseFileName = dir.path() + "/talk";
    std::string png("\x89PNG\r\n\x1A\n", 8);
    auto chunk = [&png](const char* type, const std::string& data) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(char(data.size() >> shift));
        const std::string body = type + data;
        png += body;
        uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char c : body) {
            crc ^= c;
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        crc ^= 0xFFFFFFFFu;
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(char(crc >> shift));
    };
    // 1000000 = 0x000F4240, 8-bit RGB; one stored zlib block of a few zero bytes as data.
    chunk("IHDR", std::string("\0\x0F\x42\x40\0\x0F\x42\x40\x08\x02\0\0\0", 13));
    chunk("IDAT", std::string("\x78\x01\x01\x04\0\xFB\xFF\0\0\0\0\0\x04\0\x01", 15));
    chunk("IEND", "");
    dir.file("talk-huge.png", png);

    frame->readImageMemo("[ImageMemo]=huge.png", 1, 2, 0, 1, DragShape::High);
    ASSERT_EQ(frame->m_canvasPanel->m_shapeList.GetCount(), 1u);
    const auto* shape =
        static_cast<DragShape*>(frame->m_canvasPanel->m_shapeList.GetFirst()->GetData());
    EXPECT_EQ(shape->m_shapeText, "image size not good. will you edit this ?");
}

using TourFaultTest = MemoGroupTest;

// The system refuses the tour's thread: the frame does not stay busy. It refuses the
// voiceprint worker during a voiceprint tour: each move logs it and the tour goes on without
// the lock being held.
TEST_F(TourFaultTest, RefusedThreadsLeaveNothingLockedOrBusy) {
    const auto refuse = [](wxThread&) { return wxTHREAD_NO_RESOURCE; };
    memo_tour_detail::setSleepFunction([](unsigned long) {});
    addGroup(0, "a");
    addGroup(8000, "b");
    newLog();
    memo_tour_detail::setThreadCreator(refuse);
    press(frame, ID_MemoTour);
    memo_tour_detail::setThreadCreator(nullptr);
    EXPECT_EQ(newLog(), (std::vector<std::string>{"memo tour start.", " can not create thread."}));
    EXPECT_FALSE(frame->m_tourRunning);
    EXPECT_TRUE(noTourThreads());
    EXPECT_TRUE(dataLockFree());

    frame->m_containSsft->SetValue(true);
    voiceprint_detail::setThreadCreator(refuse);
    press(frame, ID_MemoTour);
    const bool ended = pumpUntil(noTourThreads);
    voiceprint_detail::setThreadCreator(nullptr);
    memo_tour_detail::setSleepFunction(nullptr);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(frame->m_tourRunning);
    EXPECT_TRUE(dataLockFree());
    const std::vector<std::string> lines = newLog();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Error: Can't create thread!"), 2);
}
