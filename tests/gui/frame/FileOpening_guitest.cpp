#include <wx/dir.h>
#include <wx/filedlg.h>

#include "FrameHelpers.h"
#include "support/EncodedSound.h"

namespace {

class OpenTest : public MemoFrameTest {
protected:
    std::string block() const { return win().text()->GetValue().utf8_string(); }
    // Replaces the first `from` in the block and confirms; returns the new log lines.
    Lines confirmWith(const std::string& from, const std::string& to) {
        std::string text = block();
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        text.replace(std::min(at, text.size()), from.size(), to);
        win().text()->SetValue(wxString::FromUTF8(text));
        newLog();
        press(frame, ID_Confirm);
        pumpEvents();
        return newLog();
    }
};

using ConfirmTest = OpenTest;

} // namespace

TEST_F(OpenTest, ReadWaveOpensA44kFileWithItsDefaultsAndACancelKeepsIt) {
    const std::string path = dir.file("talk.wav", toneWav(10.0, 44100));
    wxTEST_DIALOG(press(frame, ID_Read), wxExpectModal<wxFileDialog>(path));
    pumpEvents();
    EXPECT_EQ(newLog(), (Lines{path + " read.", "memo list read failed.", "output parameter."}));
    // (441000 - 1 - 4096) / 512 = 853 frames.
    EXPECT_EQ(block(), formatParameterBlock({44100, 16, 1, 441000, 0, 4096, 512, 853, 0.0005f, 0,
                                             8000, -160.0, 0.0}));
    EXPECT_EQ(tup(win().paramBackup(), win().jumptext()->GetValue(),
                  win().filenametext()->GetValue(), win().postext()->GetValue(), win().sound().kind,
                  win().slider()->GetMax(), win().canvasPanel()->plotKind(),
                  inside(win().canvasPanelUp()).mouseEnabled(), win().canvasPanelUp()->waveCount()),
              tup(win().text()->GetValue(), "441000", "talk.wav", " 0 - 0.000[s]  ", 0, 10000, 1,
                  true, win().work()->m_excutionSize));

    CWavPara* sound = win().wave();
    wxTEST_DIALOG(press(frame, ID_Read), wxExpectModal<wxFileDialog>("", wxID_CANCEL));
    EXPECT_EQ(tup(log().back(), win().wave()), tup("Please select wave format file.", sound));
}

// Below 16000 Hz opening warns that Play repeats (the defaults by rate are openingDefaults',
// checked with the command line's).
TEST_F(OpenTest, BelowSixteenKilohertzOpeningAndPlayingWarn) {
    for (uint32_t rate : {16000u, 15999u}) {
        newLog();
        open(dir.file("talk.wav", toneWav(3.0, rate)));
        const Lines lines = newLog();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "too low SamplFreq to play sound."),
                  rate < 16000)
            << rate;
    }
    newLog();
    press(frame, ID_PlayNonMute);
    EXPECT_EQ(tup(newLog(), win().playback().playing()),
              tup(Lines{"too low SamplFreq to play sound."}, false));
}

// The kind comes from the file name's own extension only; a folder named like a memo file or a
// transcript holds plain WAVs, and their memo lists stay inside it.
TEST_F(OpenTest, KindAndWavePathComeFromTheName) {
    // clang-format off
    const std::tuple<const char*, int, const char*> cases[] = {{"/talk.vlh", 1, "talk.wav"},
        {"/a.txt.txt", 2, "a.txt.wav"}, {"/x.vlh/a.wav", 0, "x.vlh/a.wav"}, {"/t.trn", 3, "t.wav"},
        {"/take.trn.d/talk.wav", 0, "take.trn.d/talk.wav"}};
    // clang-format on
    for (const auto& [name, kind, sound] : cases) {
        const std::string wave = dir.file(sound, toneWav(1.0, 16000));
        open(dir.path() + name);
        EXPECT_EQ(tup(win().sound().kind, win().sound().waveFileName, win().sound().baseFileName),
                  tup(kind, wave, wave.substr(0, wave.size() - 4)));
    }
}

// Every refusal of opening leaves the recording on screen whole: its names (so a save goes to
// its memo list), sampling rate, parameter block and navigation. A conversion made for a
// refused sound goes again.
TEST_F(OpenTest, RefusedFilesLeaveTheOpenRecordingWorking) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    frame->addTitle("kept", 100, 100);
    CWavPara* sound = win().wave();
    const auto state = [&] {
        return tup(win().wave(), sound->m_sampleFreq, sound->m_totalSamples, block(),
                   win().sound().waveFileName, win().filenametext()->GetValue(),
                   win().memos().count(), win().jumptext()->GetValue());
    };
    const auto before = state();
    const std::string shortFlac = dir.path() + "/short.flac";
    ASSERT_TRUE(writeEncoded(shortFlac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                             std::vector<int16_t>(4410, 1000)));
    const Lines failed{"wave file reading failed."};
    const std::string opensConverted =
        "File > Open\u2026 or a drop on the window opens it converted to 16 bits.";
    // ReadWave refuses what the reader refuses, saying what else opens it; File > Open converts.
    const std::tuple<std::string, bool, Lines> cases[] = {
        {"RIFF junk", true, {failed[0], "file damaged or not a sound."}},
        {testwav::header({1, 3}, 0), false, {failed[0], "channel count 1 or 2."}},
        {testwav::header({1, 1, 44100, 40}, 0), false, {failed[0], "quat bit 16.", opensConverted}},
        {testwav::header({0x1234, 1, 44100, 16}, 8) + "12345678",
         false,
         {failed[0], "wave format not integer PCM.", opensConverted}},
        {toneWav(0.1, 44100), false, {"data length not enough."}},
        {testwav::wav(std::vector<int16_t>(5000), 1, 0), false, {"parameter wrong."}},
        {toneWav(1.0, 44100), false, {"memory allocation failed."}},
        {"", false, {failed[0], opensConverted}},
        {"", true, {shortFlac + " converted to 16 bits in memory.", "data length not enough."}},
    };
    for (const auto& [bytes, convert, expected] : cases) {
        const std::string path = bytes.empty() ? shortFlac : dir.file("bad.wav", bytes);
        if (expected.back() == "memory allocation failed.")
            workmemory_detail::setArrayAllocator([](size_t) -> double* { return nullptr; });
        newLog();
        open(path, convert);
        workmemory_detail::setArrayAllocator(nullptr);
        // ReadWave knows only WAV files: the others have no ".wav" to name their memo files by.
        Lines lines{path + " read."};
        if (path == shortFlac && !convert)
            lines.insert(lines.begin(), "ext name not .wav");
        lines.insert(lines.end(), expected.begin(), expected.end());
        EXPECT_EQ(newLog(), lines);
        EXPECT_EQ(state(), before) << expected.back();
    }
    // Navigation still steps in the recording's samples and seconds.
    press(frame, ID_RRigth), press(frame, ID_RRigth);
    EXPECT_EQ(tup(sound->m_cursor, win().postext()->GetValue().utf8_string()),
              tup(40, formatPosition(40, 44100)));
    press(frame, ID_Save);
    EXPECT_TRUE(wxFileExists(dir.path() + "/talk.vlh") && !wxFileExists(dir.path() + "/bad.vlh") &&
                !wxFileExists(dir.path() + "/short.wav") &&
                !wxFileExists(dir.path() + "/short.vlh"));
}

// Another format is decoded in memory: nothing is written beside it or anywhere else, and its
// memo list, transcript and exports are named after the recording itself (take.aiff, take.vlh),
// for a 24-bit WAV as for any other.
TEST_F(OpenTest, OtherFormatsOpenInMemoryUnderTheirOwnNames) {
    const std::vector<int16_t> samples = testwav::ramp(20000);
    const std::string other = dir.file("sub/other.aiff", "");
    ASSERT_TRUE(writeEncoded(other, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, samples, 1, 16000));
    dir.file("sub/other.vlh", "Ver. 2.51\r\n0\r\n");
    newLog();
    frame->openFile(other, MyFrame::openedByMenu);
    EXPECT_EQ(newLog(),
              (Lines{other + " read.", other + " converted to 16 bits in memory.",
                     dir.path() + "/sub/other.vlh : memo list read.", "output parameter."}));
    EXPECT_EQ(
        tup(win().sound().waveFileName, win().sound().baseFileName, win().wave()->m_window[7]),
        tup(other, dir.path() + "/sub/other", 7.0));
    frame->addTitle("kept", 100, 100);
    press(frame, ID_Save);
    wxArrayString files;
    wxDir::GetAllFiles(dir.path() + "/sub", &files);
    files.Sort();
    EXPECT_EQ(files, wxSplit(other + " " + dir.path() + "/sub/other.vlh", ' '));
    // The program keeps no settings and no cache under the user's home.
    wxArrayString kept;
    wxDir::GetAllFiles(wxGetHomeDir(), &kept, "*vocalith*");
    EXPECT_TRUE(kept.IsEmpty()) << kept[0];

    // A transcript belongs to the 24-bit WAV it was made for.
    ASSERT_TRUE(
        writeEncoded(dir.path() + "/t.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, samples, 1, 16000));
    open(dir.file("t.trn", "1 0.1-0.5 a\ntitle\n"), true);
    EXPECT_EQ(tup(win().sound().waveFileName, win().sound().baseFileName, win().memos().count()),
              tup(dir.path() + "/t.wav", dir.path() + "/t", size_t(1)));
}

// A relative path with a folder (from the command line, or a drop) is made absolute where it
// enters; the command line shows the whole argument. A name without ".wav" opens, but nothing is
// kept beside it: opening, saving and exporting say so.
TEST_F(OpenTest, RelativePathsAndNamesWithoutWav) {
    const std::string wav = dir.file("sub/talk.wav", toneWav(1.0, 16000));
    wxSetWorkingDirectory(dir.path());
    frame->init("sub/talk.wav");
    EXPECT_EQ(tup(log().front(), win().sound().waveFileName, win().filenametext()->GetValue(),
                  win().fileHistory()->GetHistoryFile(0)),
              tup("command line param = sub/talk.wav", wav, "sub/talk.wav", wxString(wav)));
    wxSetWorkingDirectory(dir.path());
    EXPECT_TRUE(frame->openFile("sub/talk.wav", MyFrame::openedByDrop));
    EXPECT_EQ(tup(win().sound().waveFileName, win().sound().chosenFileName), tup(wav, "talk.wav"));

    const std::string upper = dir.file("TALK.WAV", toneWav(1.0, 16000));
    newLog();
    open(upper);
    frame->addTitle("kept", 10, 10);
    press(frame, ID_Save);
    press(frame, ID_ExportWav);
    EXPECT_EQ(newLog(), (Lines{"ext name not .wav", upper + " read.", "ext name not .wav",
                               "output parameter.", "ext name not .wav", "ext name not .wav"}));
}

// A stereo sound says which channel is analysed; the menu reads it again with another channel
// and keeps the view; a mono sound disables the menu.
TEST_F(OpenTest, ChannelMenuChoosesTheAnalysedChannel) {
    std::vector<int16_t> stereo;
    for (int i = 0; i < 48000; ++i)
        stereo.insert(stereo.end(), {int16_t(i % 1000), int16_t(-(i % 700))});
    wxMenuBar* bar = frame->GetMenuBar();
    EXPECT_FALSE(bar->IsEnabled(ID_ChannelMix)); // nothing open yet
    open(dir.file("st.wav", testwav::wav(stereo, 2, 16000)));
    EXPECT_TRUE(logged("stereo sound: left channel analysed.") && bar->IsEnabled(ID_ChannelRight) &&
                bar->IsChecked(ID_ChannelLeft));
    frame->shiftSliderPos(100);
    press(frame, ID_ChannelRight, wxEVT_MENU);
    EXPECT_EQ(tup(lastLog(frame), win().wave()->m_cursor, win().wave()->m_window[5],
                  win().work()->m_wave[0], bar->IsChecked(ID_ChannelRight)),
              tup("stereo sound: right channel analysed.", 100, -5.0, -100.0, true));
    open(dir.file("mono.wav", toneWav(3.0, 16000)));
    EXPECT_FALSE(bar->IsEnabled(ID_ChannelLeft));
}

// A refused value logs the parser's message and shows the old text again. The same block and
// more frames than fit (fitted back to (441000 - 4096 - 1) / 512 = 853) rebuild nothing; a new
// sense mode rebuilds and asks for a new calculation. An allocation failure puts the previous
// sizes back; the allocator failed for them too, so what matters is a consistent object.
TEST_F(ConfirmTest, OnlyChangedSizesRebuildAndWrongValuesBringTheOldTextBack) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    const std::string original = block();
    EXPECT_EQ(confirmWith("[NoiseParameter]=0.0005000000", "[NoiseParameter]=loud"),
              (Lines{"confirm parameter.", "[NoiseParameter] wrong, back parameter.",
                     "[NoiseParameter] must be a number from 1e-10 to 3.4e+38, e.g. 0.0005."}));
    EXPECT_EQ(tup(block(), win().wave()->m_noiseParameter), tup(original, 0.0005f));
    double* wave = win().work()->m_wave;
    const Lines confirmed{"confirm parameter.", "parameter confirmed."};
    EXPECT_EQ(confirmWith("", ""), confirmed);
    const Lines fitted = confirmWith("[RepeatTimes]=853", "[RepeatTimes]=2000");
    EXPECT_EQ(tup(fitted, block(), win().work()->m_wave), tup(confirmed, original, wave));
    // A new noise alone is kept and the level spectrum recomputed with it.
    const auto level = [&] {
        return std::vector<double>(win().work()->m_restoreDb, win().work()->m_restoreDb + 2048);
    };
    const std::vector<double> before = level();
    confirmWith("[NoiseParameter]=0.0005000000", "[NoiseParameter]=0.0500000000");
    EXPECT_TRUE(win().wave()->m_noiseParameter == 0.05f && level() != before);

    const std::string moved = "need re-calculation memory  0 - 0.000[s]  moved.";
    EXPECT_EQ(confirmWith("= normal", "= fine"),
              (Lines{"confirm parameter.", "parameter confirmed.", moved}));
    EXPECT_EQ(win().work()->m_senseMode, CWorkMemory::senseFine);

    const std::string fine = block();
    workmemory_detail::setArrayAllocator([](size_t) -> double* { return nullptr; });
    const Lines lines = confirmWith("[SsftSize]=4096", "[SsftSize]=2048");
    workmemory_detail::setArrayAllocator(nullptr);
    // The old ranges come back with the old sizes.
    EXPECT_EQ(tup(lines.back(), block(), win().wave()->m_freqHigh, win().wave()->m_dbLow),
              tup("memory allocation failed.", fine, 8000, -160.0));
    const CWorkMemory& work = *win().work();
    EXPECT_TRUE((work.m_ssftSize == 4096 && work.m_wave) || (work.m_ssftSize == 0 && !work.m_wave));
}

TEST_F(ConfirmTest, TooFewFramesForAShortSound) {
    open(dir.file("talk.wav", toneWav(4609.0 / 44100, 44100))); // two frames of 4096, hop 512
    EXPECT_EQ(confirmWith("[RepeatTimes]=1", "[RepeatTimes]=3"),
              (Lines{"confirm parameter.", "parameter confirmed.",
                     "[ExcutionSize] wrong, back parameter.",
                     "[ExcutionSize] = (RepeatTimes - 1) x Interval + SsftSize must be at most the "
                     "window's 4609 samples."}));
    EXPECT_EQ(win().work()->m_repeatTimes, 1);
}
