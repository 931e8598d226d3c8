#include <wx/filedlg.h>

#include "analysis/CWorkMemory.h"
#include "sound/CWavPara.h"
#include "support/GuiFixture.h"
#include "support/SoundFiles.h"

namespace {

class OpenTest : public FrameTest {
protected:
    // Opens a path as the command line would.
    void open(const std::string& path, const std::string& shownName = "") {
        frame->m_waveFileName = path;
        frame->m_chosenFileName = shownName.empty() ? path.substr(path.rfind('/') + 1) : shownName;
        frame->readCommon();
        pumpEvents();
    }
    std::string line(int k) const {
        const std::string text = frame->m_text->GetValue().utf8_string();
        size_t start = 0;
        for (int i = 0; i < k; ++i)
            start = text.find('\n', start) + 1;
        return text.substr(start, text.find('\n', start) - start);
    }
    bool logged(const std::string& text) const {
        const auto lines = log();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }

    ScratchDir dir;
};

} // namespace

TEST_F(OpenTest, ReadWaveOpensA44kFileWithItsDefaults) {
    const std::string path = dir.file("talk.wav", toneWav(10.0, 44100));
    wxCommandEvent read(wxEVT_BUTTON, ID_Read);
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>(path));
    pumpEvents();

    const auto lines = log();
    ASSERT_GE(lines.size(), 3u) << (lines.empty() ? "" : lines[0]);
    EXPECT_EQ(lines[0], path + " read.");
    EXPECT_EQ(lines[1], "memo list read failed.") << "no memo list beside the sound";
    EXPECT_EQ(lines[2], "output parameter.");
    EXPECT_EQ(line(1), "[SampleFreq]=44100 [QuantBit]=16 [ChannelCount]=1 [TotalLength]=441000 "
                       "[TotalSec]=10.000[s] ");
    const std::string block = frame->m_text->GetValue().utf8_string();
    EXPECT_NE(block.find("[SsftSize]=4096 "), std::string::npos);
    EXPECT_NE(block.find("[RepeatTimes]=853 "), std::string::npos); // (441000 - 1 - 4096) / 512
    EXPECT_NE(block.find("[NoiseParameter]=0.0005000000 "), std::string::npos);
    EXPECT_NE(block.find("[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0] "), std::string::npos);
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
}

TEST_F(OpenTest, DefaultsFollowTheSamplingRate) {
    open(dir.file("mid.wav", toneWav(3.0, 22050)));
    std::string block = frame->m_text->GetValue().utf8_string();
    EXPECT_NE(block.find("[SsftSize]=4096 "), std::string::npos);
    EXPECT_NE(block.find("[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0] "), std::string::npos);

    open(dir.file("low.wav", toneWav(3.0, 8000)));
    EXPECT_TRUE(logged("too low SamplFreq to play sound."));
    block = frame->m_text->GetValue().utf8_string();
    EXPECT_NE(block.find("[SsftSize]=2048 "), std::string::npos);
    EXPECT_NE(block.find("[FreqrRnage]=[0,4000] [dBRnage]=[-130.0,0.0] "), std::string::npos);
}

TEST_F(OpenTest, KindAndWavePathComeFromTheName) {
    open(dir.file("TALK.WAV", toneWav(1.0, 44100)));
    EXPECT_TRUE(logged("ext name not .wav"));
    EXPECT_TRUE(logged("output parameter.")) << "still read";
    EXPECT_EQ(frame->m_baseFileName, dir.path() + "/TALK.WAV");

    const std::pair<std::string, std::pair<int, std::string>> cases[] = {
        {"/talk.vlh", {1, "/talk.wav"}},
        {"/a.txt.txt", {2, "/a.txt.wav"}},
        {"/x.vlh/a.wav", {1, "/x.wav"}},
        {"/t.trn", {3, "/t.wav"}},
    };
    for (const auto& [name, expected] : cases) {
        open(dir.path() + name);
        EXPECT_EQ(frame->m_fileKind, expected.first) << name;
        EXPECT_EQ(frame->m_waveFileName, dir.path() + expected.second) << name;
        // Every kind but a transcript looks for a memo list first.
        const size_t memoLines = expected.first == 3 ? 0 : 1;
        const auto lines = log();
        ASSERT_GE(lines.size(), 2u + memoLines);
        EXPECT_EQ(lines[lines.size() - 2 - memoLines], dir.path() + expected.second + " read.")
            << name;
        EXPECT_EQ(lines.back(), "wave file reading failed.") << name;
    }
}

TEST_F(OpenTest, ReaderFailuresAndShortSoundsAreReported) {
    testwav::Format three;
    three.channels = 3;
    testwav::Format eight;
    eight.bits = 8;
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {testwav::header(three, 0), {"wave file reading failed.", "channel count 1 or 2."}},
        {testwav::header(eight, 0), {"wave file reading failed.", "quat bit 16."}},
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

TEST_F(OpenTest, CancelledDialogKeepsTheSound) {
    open(dir.file("talk.wav", toneWav(1.0, 44100)));
    CWavPara* sound = frame->m_wavePara;
    const wxString block = frame->m_text->GetValue();
    wxCommandEvent read(wxEVT_BUTTON, ID_Read);
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>("", wxID_CANCEL));
    EXPECT_EQ(log().back(), "Please select wave format file.");
    EXPECT_EQ(frame->m_wavePara, sound);
    EXPECT_EQ(frame->m_text->GetValue(), block);
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
