#include <wx/filedlg.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/ParameterBlock.h"
#include "support/GuiFixture.h"
#include "support/SoundFiles.h"

namespace {

class OpenTest : public FrameTest {
protected:
    std::string block() const { return frame->m_text->GetValue().utf8_string(); }
    bool shows(const std::string& piece) const { return block().find(piece) != std::string::npos; }
    bool logged(const std::string& text) const {
        const auto lines = log();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }

    ScratchDir dir;
};

} // namespace

// A cancelled dialog afterwards keeps the sound.
TEST_F(OpenTest, ReadWaveOpensA44kFileWithItsDefaults) {
    const std::string path = dir.file("talk.wav", toneWav(10.0, 44100));
    wxCommandEvent read(wxEVT_BUTTON, ID_Read);
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>(path));
    pumpEvents();

    const auto lines = log();
    ASSERT_GE(lines.size(), 3u) << (lines.empty() ? "" : lines[0]);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{path + " read.", "memo list read failed.", // none beside
                                        "output parameter."}));
    // (441000 - 1 - 4096) / 512 = 853 frames.
    EXPECT_EQ(block(), formatParameterBlock({44100, 16, 1, 441000, 0, 4096, 512, 853, 0.0005f, 0,
                                             8000, -160.0, 0.0}));
    EXPECT_EQ(frame->m_paramBackup, frame->m_text->GetValue());
    EXPECT_EQ(frame->m_jumptext->GetValue(), "441000");
    EXPECT_EQ(frame->m_filenametext->GetValue(), "talk.wav");
    EXPECT_EQ(frame->m_postext->GetValue(), " 0 - 0.000[s]  ");
    EXPECT_EQ(frame->m_baseFileName, dir.path() + "/talk");
    EXPECT_EQ(frame->m_fileKind, 0);
    EXPECT_EQ(frame->m_slider->GetMax(), 10000);
    EXPECT_EQ(frame->m_slider->GetValue(), 0);
    EXPECT_EQ(frame->m_canvasPanel->m_plotKind, 1);
    EXPECT_TRUE(frame->m_canvasPanelUp->m_mouseEnabled);
    EXPECT_FALSE(frame->m_canvasPanelSub2->m_mouseEnabled);
    EXPECT_EQ(frame->m_canvasPanelUp->m_waveCount, frame->m_workPara->m_excutionSize);
    EXPECT_NEAR(frame->m_executionSec, frame->m_workPara->m_excutionSize / 44100.0, 1e-12);
    // The dialog made the file's folder the working directory.
    EXPECT_EQ(wxGetCwd(), dir.path());

    CWavPara* sound = frame->m_wavePara;
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>("", wxID_CANCEL));
    EXPECT_EQ(log().back(), "Please select wave format file.");
    EXPECT_EQ(frame->m_wavePara, sound);
    EXPECT_EQ(frame->m_text->GetValue(), frame->m_paramBackup);
}

TEST_F(OpenTest, DefaultsFollowTheSamplingRate) {
    open(dir.file("mid.wav", toneWav(3.0, 22050)));
    EXPECT_TRUE(shows("[SsftSize]=4096 "));
    EXPECT_TRUE(shows("[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0] "));
    open(dir.file("low.wav", toneWav(3.0, 8000)));
    EXPECT_TRUE(logged("too low SamplFreq to play sound."));
    EXPECT_TRUE(shows("[SsftSize]=2048 "));
    EXPECT_TRUE(shows("[FreqrRnage]=[0,4000] [dBRnage]=[-130.0,0.0] "));
}

TEST_F(OpenTest, KindAndWavePathComeFromTheName) {
    open(dir.file("TALK.WAV", toneWav(1.0, 44100)));
    EXPECT_TRUE(logged("ext name not .wav"));
    EXPECT_TRUE(logged("output parameter.")) << "still read";
    EXPECT_EQ(frame->m_baseFileName, dir.path() + "/TALK.WAV");

    const struct {
        const char* name;
        int kind;
        const char* wave;
    } cases[] = {{"/talk.vlh", 1, "/talk.wav"},
                 {"/a.txt.txt", 2, "/a.txt.wav"},
                 {"/x.vlh/a.wav", 1, "/x.wav"},
                 {"/t.trn", 3, "/t.wav"}};
    for (const auto& c : cases) {
        open(dir.path() + c.name);
        const std::string wave = dir.path() + c.wave;
        EXPECT_EQ(frame->m_fileKind, c.kind) << c.name;
        EXPECT_EQ(frame->m_waveFileName, wave) << c.name;
        // Every kind but a transcript looks for a memo list first.
        const size_t memoLines = c.kind == 3 ? 0 : 1;
        const auto lines = log();
        ASSERT_GE(lines.size(), 2u + memoLines);
        EXPECT_EQ(lines[lines.size() - 2 - memoLines], wave + " read.") << c.name;
        EXPECT_EQ(lines.back(), "wave file reading failed.") << c.name;
    }
}

TEST_F(OpenTest, ReaderFailuresAndShortSoundsAreReported) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {testwav::header({1, 3}, 0), {"wave file reading failed.", "channel count 1 or 2."}},
        {testwav::header({1, 1, 44100, 8}, 0), {"wave file reading failed.", "quat bit 16."}},
        {"RIFF junk", {"wave file reading failed."}},
        // Shorter than one 4096-sample transform and a hop: refused, nothing drawn.
        {toneWav(0.1, 44100), {"data length not enough."}},
    };
    for (const auto& [bytes, expected] : cases) {
        const size_t before = log().size();
        open(dir.file("bad.wav", bytes));
        const auto lines = log();
        ASSERT_EQ(lines.size(), before + 2 + expected.size()); // "... read.", no memo list
        EXPECT_EQ(std::vector<std::string>(lines.end() - expected.size(), lines.end()), expected);
        EXPECT_TRUE(frame->m_text->IsEmpty());
        EXPECT_EQ(frame->m_canvasPanel->m_plotKind, 0);
    }
}

TEST_F(OpenTest, ResizingAfterAFailedOpenDrawsNoFreedSound) {
    open(dir.file("talk.wav", toneWav(1.0, 44100)));
    open(dir.file("broken.wav", "RIFF"));
    // The panels let go of the deleted sound's samples: a redraw at a new size reads nothing.
    frame->SetClientSize(frame->GetClientSize() + wxSize(40, 40));
    pumpEvents();
    frame->m_canvasPanelSub2->redrawWave();
    frame->m_canvasPanelSub->redrawWaveSub();
    frame->m_canvasPanelUp->redrawWave();
    frame->m_canvasPanel->redrawdB();
    EXPECT_EQ(frame->m_canvasPanelSub2->m_waveData, nullptr);
}
