#include "engine/analysis/CWorkMemory.h"
#include "engine/sound/CWavPara.h"
#include "support/GuiFixture.h"
#include "support/SoundFiles.h"

namespace {

using Lines = std::vector<std::string>;

class ConfirmTest : public FrameTest {
protected:
    void openTone(double seconds) {
        frame->m_waveFileName = dir.file("talk.wav", toneWav(seconds, 44100));
        frame->m_chosenFileName = "talk.wav";
        frame->readCommon();
        pumpEvents();
        ASSERT_FALSE(frame->m_text->IsEmpty());
    }
    // Replaces the first occurrence of `from` in the block, then confirms; returns the new log
    // lines.
    Lines confirmWith(const std::string& from, const std::string& to) {
        std::string text = block();
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            text.replace(at, from.size(), to);
        frame->m_text->SetValue(wxString::FromUTF8(text));
        const size_t before = log().size();
        wxCommandEvent confirm(wxEVT_BUTTON, ID_Confirm);
        frame->ProcessWindowEvent(confirm);
        pumpEvents();
        const auto lines = log();
        return Lines(lines.begin() + before, lines.end());
    }
    std::string block() const { return frame->m_text->GetValue().utf8_string(); }

    ScratchDir dir;
};

} // namespace

// The same block, more frames than fit (fitted back to (441000 - 4096 - 1) / 512 = 853) and new
// ranges rebuild nothing; a new noise value rebuilds without asking for a new calculation, a new
// sense mode with it, and a block without the sense item is an old one in normal mode.
TEST_F(ConfirmTest, OnlyChangedSizesRebuild) {
    openTone(10.0);
    const std::string original = block();
    double* wave = frame->m_workPara->m_wave;
    const Lines confirmed{"confirm parameter.", "parameter confirmed."};
    EXPECT_EQ(confirmWith("", ""), confirmed);
    EXPECT_EQ(block(), original);
    EXPECT_EQ(confirmWith("[RepeatTimes]=853", "[RepeatTimes]=2000"), confirmed);
    EXPECT_EQ(block(), original);
    EXPECT_EQ(frame->m_workPara->m_wave, wave);

    confirmWith("[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0]",
                "[FreqrRnage]=[100,30000] [dBRnage]=[10.0,5.0]");
    EXPECT_NE(block().find("[FreqrRnage]=[100,22050] [dBRnage]=[-190.0,0.0] "), std::string::npos);
    EXPECT_EQ(frame->m_canvasPanel->m_rangeTo, 2048); // bins of 22050 / 2048 Hz up to 22050 Hz

    EXPECT_EQ(confirmWith("[NoiseParameter]=0.0005000000", "[NoiseParameter]=0.001"), confirmed);
    EXPECT_FLOAT_EQ(frame->m_wavePara->m_noiseParameter, 0.001f);

    const std::string moved = "need re-calculation memory  0 - 0.000[s]  moved.";
    EXPECT_EQ(confirmWith("= normal", "= fine"),
              (Lines{"confirm parameter.", "parameter confirmed.", moved}));
    EXPECT_EQ(frame->m_workPara->m_senseMode, CWorkMemory::senseFine);
    EXPECT_NE(block().find("[SenseMode(normal or fine)]= fine \n"), std::string::npos);
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
    openTone(10.0);
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
    openTone(4609.0 / 44100); // room for exactly two frames of 4096 with a 512 hop
    EXPECT_EQ(confirmWith("[RepeatTimes]=1", "[RepeatTimes]=3"),
              (Lines{"confirm parameter.", "parameter confirmed.",
                     "[ExcutionSize] wrong, back parameter."}));
    EXPECT_EQ(frame->m_workPara->m_repeatTimes, 1);
}
