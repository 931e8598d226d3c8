#include <wx/filedlg.h>

#include "MemoLists.h"
#include "engine/analysis/CWorkMemory.h"
#include "engine/sound/ParameterBlock.h"

namespace {

class OpenTest : public FrameTest {
protected:
    // The file dialog moves the working directory into the scratch folder, which goes away.
    void TearDown() override {
        wxSetWorkingDirectory(cwd);
        FrameTest::TearDown();
    }
    std::string block() const { return frame->m_text->GetValue().utf8_string(); }
    bool shows(const std::string& piece) const { return block().find(piece) != std::string::npos; }
    Lines since(size_t before) const {
        const Lines lines = log();
        return Lines(lines.begin() + std::min(before, lines.size()), lines.end());
    }
    // Replaces the first `from` in the block and confirms; returns the new log lines.
    Lines confirmWith(const std::string& from, const std::string& to) {
        std::string text = block();
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        text.replace(std::min(at, text.size()), from.size(), to);
        frame->m_text->SetValue(wxString::FromUTF8(text));
        const size_t before = log().size();
        wxCommandEvent confirm(wxEVT_BUTTON, ID_Confirm);
        frame->ProcessWindowEvent(confirm);
        pumpEvents();
        return since(before);
    }

    const wxString cwd = wxGetCwd();
    ScratchDir dir;
};

using ConfirmTest = OpenTest;

} // namespace

TEST_F(OpenTest, ReadWaveOpensA44kFileWithItsDefaultsAndACancelKeepsIt) {
    const std::string path = dir.file("talk.wav", toneWav(10.0, 44100));
    wxCommandEvent read(wxEVT_BUTTON, ID_Read);
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>(path));
    pumpEvents();
    const Lines lines = log();
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + std::min<size_t>(3, lines.size())),
              (Lines{path + " read.", "memo list read failed.", "output parameter."}));
    // (441000 - 1 - 4096) / 512 = 853 frames.
    EXPECT_EQ(block(), formatParameterBlock({44100, 16, 1, 441000, 0, 4096, 512, 853, 0.0005f, 0,
                                             8000, -160.0, 0.0}));
    EXPECT_EQ(tup(frame->m_paramBackup, frame->m_jumptext->GetValue(),
                  frame->m_filenametext->GetValue(), frame->m_postext->GetValue()),
              tup(frame->m_text->GetValue(), "441000", "talk.wav", " 0 - 0.000[s]  "));
    EXPECT_EQ(tup(frame->m_baseFileName, frame->m_fileKind, frame->m_slider->GetMax(),
                  frame->m_slider->GetValue(), frame->m_canvasPanel->m_plotKind,
                  frame->m_canvasPanelUp->m_mouseEnabled, frame->m_canvasPanelSub2->m_mouseEnabled),
              tup(wxString(dir.path() + "/talk"), 0, 10000, 0, 1, true, false));
    EXPECT_EQ(frame->m_canvasPanelUp->m_waveCount, frame->m_workPara->m_excutionSize);
    EXPECT_EQ(wxGetCwd(), dir.path()) << "the dialog made the file's folder the working one";

    CWavPara* sound = frame->m_wavePara;
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>("", wxID_CANCEL));
    EXPECT_EQ(log().back(), "Please select wave format file.");
    EXPECT_EQ(frame->m_wavePara, sound);
}

// Below 22050 Hz smaller frames and a lower range; below 16000 Hz a warning as well.
TEST_F(OpenTest, DefaultsFollowTheSamplingRate) {
    const char* high = "[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0] ";
    const char* low = "[FreqrRnage]=[0,6000] [dBRnage]=[-130.0,0.0] ";
    const std::tuple<uint32_t, const char*, const char*, int> rates[] = {
        {22050, "[SsftSize]=4096 ", high, 0},
        {22049, "[SsftSize]=2048 ", low, 0},
        {16000, "[SsftSize]=2048 ", low, 0},
        {15999, "[SsftSize]=2048 ", low, 1},
        {8000, "[SsftSize]=2048 ", "[FreqrRnage]=[0,4000] [dBRnage]=[-130.0,0.0] ", 1}};
    for (const auto& [rate, frames, ranges, warnings] : rates) {
        SCOPED_TRACE(rate);
        const size_t before = log().size();
        open(dir.file("talk.wav", toneWav(3.0, rate)));
        const Lines lines = since(before);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "too low SamplFreq to play sound."),
                  warnings);
        EXPECT_TRUE(shows(frames) && shows(ranges)) << block();
    }
}

TEST_F(OpenTest, KindAndWavePathComeFromTheName) {
    open(dir.file("TALK.WAV", toneWav(1.0, 44100)));
    const Lines lines = log();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ext name not .wav"), lines.end());
    EXPECT_EQ(lines.back(), "output parameter.") << "still read";
    EXPECT_EQ(frame->m_baseFileName, dir.path() + "/TALK.WAV");

    const std::tuple<const char*, int, const char*> cases[] = {{"/talk.vlh", 1, "/talk.wav"},
                                                               {"/a.txt.txt", 2, "/a.txt.wav"},
                                                               {"/x.vlh/a.wav", 1, "/x.wav"},
                                                               {"/t.trn", 3, "/t.wav"}};
    for (const auto& [name, kind, sound] : cases) {
        SCOPED_TRACE(name);
        const size_t before = log().size();
        open(dir.path() + name);
        const std::string wave = dir.path() + sound;
        EXPECT_EQ(tup(frame->m_fileKind, frame->m_waveFileName), tup(kind, wave));
        // Every kind but a transcript looks for a memo list first.
        Lines expected{wave + " read.", "memo list read failed.", "wave file reading failed."};
        if (kind == 3)
            expected.erase(expected.begin() + 1);
        EXPECT_EQ(since(before), expected);
    }
}

TEST_F(OpenTest, ReaderFailuresAndShortSoundsAreReported) {
    const std::pair<std::string, Lines> cases[] = {
        {testwav::header({1, 3}, 0), {"wave file reading failed.", "channel count 1 or 2."}},
        {testwav::header({1, 1, 44100, 8}, 0), {"wave file reading failed.", "quat bit 16."}},
        // Shorter than one 4096-sample transform and a hop: refused, nothing drawn.
        {"RIFF junk", {"wave file reading failed."}},
        {toneWav(0.1, 44100), {"data length not enough."}},
    };
    for (const auto& [bytes, expected] : cases) {
        const size_t before = log().size();
        open(dir.file("bad.wav", bytes));
        const Lines lines = since(before);
        ASSERT_EQ(lines.size(), 2 + expected.size()); // "... read.", no memo list
        EXPECT_EQ(Lines(lines.begin() + 2, lines.end()), expected);
        EXPECT_TRUE(frame->m_text->IsEmpty());
        EXPECT_EQ(frame->m_canvasPanel->m_plotKind, 0);
    }
    // The panels let go of a failed open's deleted sound: a redraw at a new size reads nothing.
    open(dir.file("talk.wav", toneWav(1.0, 44100)));
    open(dir.file("bad.wav", "RIFF"));
    frame->SetClientSize(frame->GetClientSize() + wxSize(40, 40));
    pumpEvents();
    frame->m_canvasPanelSub2->redrawWave();
    frame->m_canvasPanelSub->redrawWaveSub();
    frame->m_canvasPanelUp->redrawWave();
    frame->m_canvasPanel->redrawdB();
    EXPECT_EQ(frame->m_canvasPanelSub2->m_waveData, nullptr);
}

// The same block, more frames than fit (fitted back to (441000 - 4096 - 1) / 512 = 853) and new
// ranges rebuild nothing; a new noise value rebuilds without asking for a new calculation, a new
// sense mode with it, and a block without the sense item is an old one in normal mode.
TEST_F(ConfirmTest, OnlyChangedSizesRebuild) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    const std::string original = block();
    double* wave = frame->m_workPara->m_wave;
    const Lines confirmed{"confirm parameter.", "parameter confirmed."};
    EXPECT_EQ(confirmWith("", ""), confirmed);
    EXPECT_EQ(confirmWith("[RepeatTimes]=853", "[RepeatTimes]=2000"), confirmed);
    EXPECT_EQ(block(), original);
    EXPECT_EQ(frame->m_workPara->m_wave, wave);

    confirmWith("[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0]",
                "[FreqrRnage]=[100,30000] [dBRnage]=[10.0,5.0]");
    EXPECT_TRUE(shows("[FreqrRnage]=[100,22050] [dBRnage]=[-190.0,0.0] "));
    EXPECT_EQ(frame->m_canvasPanel->m_rangeTo, 2048); // bins of 22050 / 2048 Hz up to 22050 Hz

    EXPECT_EQ(confirmWith("[NoiseParameter]=0.0005000000", "[NoiseParameter]=0.001"), confirmed);
    EXPECT_FLOAT_EQ(frame->m_wavePara->m_noiseParameter, 0.001f);

    const std::string moved = "need re-calculation memory  0 - 0.000[s]  moved.";
    EXPECT_EQ(confirmWith("= normal", "= fine"),
              (Lines{"confirm parameter.", "parameter confirmed.", moved}));
    EXPECT_EQ(frame->m_workPara->m_senseMode, CWorkMemory::senseFine);
    EXPECT_EQ(confirmWith("[SenseMode(normal or fine)]= fine \n", ""),
              (Lines{"confirm parameter.", "not exist [SenseMode(normal or fine)].",
                     "it seems old version parameter list. normal sense mode asume",
                     "parameter confirmed.", moved}));
    EXPECT_EQ(frame->m_workPara->m_senseMode, CWorkMemory::senseNormal);
}

// A refused value logs the parser's message and shows the old text again. An allocation failure
// puts the previous sizes back; the allocator failed for them too, so what matters is a
// consistent object.
TEST_F(ConfirmTest, WrongValuesBringTheOldTextBack) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    const std::string original = block();
    EXPECT_EQ(confirmWith("[SsftSize]=4096", "[SsftSize]=3000"),
              (Lines{"confirm parameter.", "[SsftSize] wrong, must 256 512 1024 2048 4096",
                     "8192 16384 or 32768, back parameter."}));
    EXPECT_EQ(block(), original);
    EXPECT_EQ(confirmWith("[NoiseParameter]=0.0005000000", "[NoiseParameter]=loud"),
              (Lines{"confirm parameter.", "[NoiseParameter] wrong, back parameter."}));
    EXPECT_EQ(block(), original);
    EXPECT_FLOAT_EQ(frame->m_wavePara->m_noiseParameter, 0.0005f);

    workmemory_detail::setArrayAllocator([](size_t) -> double* { return nullptr; });
    const Lines lines = confirmWith("[SsftSize]=4096", "[SsftSize]=2048");
    workmemory_detail::setArrayAllocator(nullptr);
    EXPECT_EQ(lines.back(), "memory allocation failed.");
    EXPECT_EQ(block(), original);
    const CWorkMemory& work = *frame->m_workPara;
    EXPECT_TRUE((work.m_ssftSize == 4096 && work.m_wave) || (work.m_ssftSize == 0 && !work.m_wave));
}

TEST_F(ConfirmTest, TooFewFramesForAShortSound) {
    open(dir.file("talk.wav", toneWav(4609.0 / 44100, 44100))); // two frames of 4096, hop 512
    EXPECT_EQ(confirmWith("[RepeatTimes]=1", "[RepeatTimes]=3"),
              (Lines{"confirm parameter.", "parameter confirmed.",
                     "[ExcutionSize] wrong, back parameter."}));
    EXPECT_EQ(frame->m_workPara->m_repeatTimes, 1);
}
