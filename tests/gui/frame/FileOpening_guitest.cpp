#include <wx/filedlg.h>

#include "MemoLists.h"
#include "engine/analysis/CWorkMemory.h"
#include "engine/sound/ParameterBlock.h"

namespace {

class OpenTest : public MemoFrameTest {
protected:
    // The file dialog moves the working directory into the scratch folder, which goes away.
    void TearDown() override {
        wxSetWorkingDirectory(cwd);
        FrameTest::TearDown();
    }
    std::string block() const { return frame->m_text->GetValue().utf8_string(); }
    bool shows(const std::string& piece) const { return block().find(piece) != std::string::npos; }
    // Replaces the first `from` in the block and confirms; returns the new log lines.
    Lines confirmWith(const std::string& from, const std::string& to) {
        std::string text = block();
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        text.replace(std::min(at, text.size()), from.size(), to);
        frame->m_text->SetValue(wxString::FromUTF8(text));
        newLog();
        wxCommandEvent confirm(wxEVT_BUTTON, ID_Confirm);
        frame->ProcessWindowEvent(confirm);
        pumpEvents();
        return newLog();
    }

    const wxString cwd = wxGetCwd();
};

using ConfirmTest = OpenTest;

} // namespace

TEST_F(OpenTest, ReadWaveOpensA44kFileWithItsDefaultsAndACancelKeepsIt) {
    const std::string path = dir.file("talk.wav", toneWav(10.0, 44100));
    wxCommandEvent read(wxEVT_BUTTON, ID_Read);
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>(path));
    pumpEvents();
    EXPECT_EQ(newLog(), (Lines{path + " read.", "memo list read failed.", "output parameter."}));
    // (441000 - 1 - 4096) / 512 = 853 frames.
    EXPECT_EQ(block(), formatParameterBlock({44100, 16, 1, 441000, 0, 4096, 512, 853, 0.0005f, 0,
                                             8000, -160.0, 0.0}));
    EXPECT_EQ(tup(frame->m_paramBackup, frame->m_jumptext->GetValue(),
                  frame->m_filenametext->GetValue(), frame->m_postext->GetValue(),
                  frame->m_fileKind, frame->m_slider->GetMax(), frame->m_canvasPanel->m_plotKind,
                  frame->m_canvasPanelUp->m_mouseEnabled, frame->m_canvasPanelUp->m_waveCount),
              tup(frame->m_text->GetValue(), "441000", "talk.wav", " 0 - 0.000[s]  ", 0, 10000, 1,
                  true, frame->m_workPara->m_excutionSize));

    CWavPara* sound = frame->m_wavePara;
    wxTEST_DIALOG(frame->ProcessWindowEvent(read), wxExpectModal<wxFileDialog>("", wxID_CANCEL));
    EXPECT_EQ(tup(log().back(), frame->m_wavePara), tup("Please select wave format file.", sound));
}

// Below 22050 Hz smaller frames and a lower range; below 16000 Hz a warning as well.
TEST_F(OpenTest, DefaultsFollowTheSamplingRate) {
    const char* high = "[SsftSize]=4096 |[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0] ";
    const char* low = "[SsftSize]=2048 |[FreqrRnage]=[0,6000] [dBRnage]=[-130.0,0.0] ";
    const std::tuple<uint32_t, std::string, int> rates[] = {
        {22050, high, 0}, {22049, low, 0}, {16000, low, 0}, {15999, low, 1}};
    for (const auto& [rate, pieces, warnings] : rates) {
        newLog();
        open(dir.file("talk.wav", toneWav(3.0, rate)));
        const Lines lines = newLog();
        const size_t bar = pieces.find('|');
        EXPECT_EQ(tup(std::count(lines.begin(), lines.end(), "too low SamplFreq to play sound."),
                      shows(pieces.substr(0, bar)) && shows(pieces.substr(bar + 1))),
                  tup(std::ptrdiff_t(warnings), true))
            << rate << block();
    }
}

TEST_F(OpenTest, KindAndWavePathComeFromTheName) {
    const std::tuple<const char*, int, const char*> cases[] = {{"/talk.vlh", 1, "/talk.wav"},
                                                               {"/a.txt.txt", 2, "/a.txt.wav"},
                                                               {"/x.vlh/a.wav", 1, "/x.wav"},
                                                               {"/t.trn", 3, "/t.wav"}};
    for (const auto& [name, kind, sound] : cases) {
        newLog();
        open(dir.path() + name);
        const std::string wave = dir.path() + sound;
        // Every kind but a transcript looks for a memo list first.
        Lines expected{wave + " read.", "memo list read failed.", "wave file reading failed."};
        if (kind == 3)
            expected.erase(expected.begin() + 1);
        EXPECT_EQ(tup(frame->m_fileKind, frame->m_waveFileName, newLog()),
                  tup(kind, wave, expected));
    }
}

TEST_F(OpenTest, ReaderFailuresAndShortSoundsAreReported) {
    const std::pair<std::string, Lines> cases[] = {
        {testwav::header({1, 3}, 0), {"wave file reading failed.", "channel count 1 or 2."}},
        {testwav::header({1, 1, 44100, 8}, 0), {"wave file reading failed.", "quat bit 16."}},
        {"RIFF junk", {"wave file reading failed."}},
        // Shorter than one 4096-sample transform and a hop: refused, nothing drawn.
        {toneWav(0.1, 44100), {"data length not enough."}},
    };
    for (const auto& [bytes, expected] : cases) {
        newLog();
        open(dir.file("bad.wav", bytes));
        const Lines lines = newLog();
        ASSERT_EQ(lines.size(), 2 + expected.size()); // "... read.", no memo list
        EXPECT_EQ(Lines(lines.begin() + 2, lines.end()), expected);
        EXPECT_TRUE(frame->m_text->IsEmpty() && frame->m_canvasPanel->m_plotKind == 0);
    }
}

// The same block and more frames than fit (fitted back to (441000 - 4096 - 1) / 512 = 853)
// rebuild nothing; a new sense mode rebuilds and asks for a new calculation.
TEST_F(ConfirmTest, OnlyChangedSizesRebuild) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    const std::string original = block();
    double* wave = frame->m_workPara->m_wave;
    const Lines confirmed{"confirm parameter.", "parameter confirmed."};
    EXPECT_EQ(confirmWith("", ""), confirmed);
    EXPECT_EQ(tup(confirmWith("[RepeatTimes]=853", "[RepeatTimes]=2000"), block(),
                  frame->m_workPara->m_wave),
              tup(confirmed, original, wave));

    const std::string moved = "need re-calculation memory  0 - 0.000[s]  moved.";
    EXPECT_EQ(confirmWith("= normal", "= fine"),
              (Lines{"confirm parameter.", "parameter confirmed.", moved}));
    EXPECT_EQ(frame->m_workPara->m_senseMode, CWorkMemory::senseFine);
}

// A refused value logs the parser's message and shows the old text again. An allocation failure
// puts the previous sizes back; the allocator failed for them too, so what matters is a
// consistent object.
TEST_F(ConfirmTest, WrongValuesBringTheOldTextBack) {
    open(dir.file("talk.wav", toneWav(10.0, 44100)));
    const std::string original = block();
    EXPECT_EQ(confirmWith("[NoiseParameter]=0.0005000000", "[NoiseParameter]=loud"),
              (Lines{"confirm parameter.", "[NoiseParameter] wrong, back parameter."}));
    EXPECT_EQ(tup(block(), frame->m_wavePara->m_noiseParameter), tup(original, 0.0005f));

    workmemory_detail::setArrayAllocator([](size_t) -> double* { return nullptr; });
    const Lines lines = confirmWith("[SsftSize]=4096", "[SsftSize]=2048");
    workmemory_detail::setArrayAllocator(nullptr);
    EXPECT_EQ(tup(lines.back(), block()), tup("memory allocation failed.", original));
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
