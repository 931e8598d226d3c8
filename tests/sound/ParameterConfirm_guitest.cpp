#include "analysis/CWorkMemory.h"
#include "sound/CWavPara.h"
#include "support/GuiFixture.h"
#include "support/SoundFiles.h"

namespace {

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
    std::vector<std::string> confirmWith(const std::string& from, const std::string& to) {
        std::string text = frame->m_text->GetValue().utf8_string();
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
        return std::vector<std::string>(lines.begin() + before, lines.end());
    }
    std::string block() const { return frame->m_text->GetValue().utf8_string(); }
    using Lines = std::vector<std::string>;

    ScratchDir dir;
};

double* failAllocation(size_t) {
    return nullptr;
}

} // namespace

TEST_F(ConfirmTest, UnchangedBlockRebuildsNothing) {
    openTone(10.0);
    const std::string original = block();
    double* wave = frame->m_workPara->m_wave;
    EXPECT_EQ(confirmWith("", ""), (Lines{"confirm parameter.", "parameter confirmed."}));
    EXPECT_EQ(block(), original);
    EXPECT_EQ(frame->m_workPara->m_wave, wave);
}

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
    EXPECT_EQ(confirmWith("= normal", "=fine"),
              (Lines{"confirm parameter.", "[SenseMode] wrong, back parameter."}));
    EXPECT_EQ(confirmWith("[Interval]=512", "[Interval]=0"),
              (Lines{"confirm parameter.", "[Interval] wrong, back parameter."}));
    EXPECT_EQ(block(), original);
    EXPECT_FLOAT_EQ(frame->m_wavePara->m_noiseParameter, 0.0005f);
}

TEST_F(ConfirmTest, FineModeAndOldBlocks) {
    openTone(10.0);
    EXPECT_EQ(confirmWith("= normal", "= fine"),
              (Lines{"confirm parameter.", "parameter confirmed.",
                     "need re-calculation memory  0 - 0.000[s]  moved."}));
    EXPECT_EQ(frame->m_workPara->m_senseMode, CWorkMemory::senseFine);
    EXPECT_NE(block().find("[SenseMode(normal or fine)]= fine \n"), std::string::npos);

    EXPECT_EQ(confirmWith("[SenseMode(normal or fine)]= fine \n", ""),
              (Lines{"confirm parameter.", "not exist [SenseMode(normal or fine)].",
                     "it seems old version parameter list. normal sense mode asume",
                     "parameter confirmed.", "need re-calculation memory  0 - 0.000[s]  moved."}));
    EXPECT_EQ(frame->m_workPara->m_senseMode, CWorkMemory::senseNormal);
}

TEST_F(ConfirmTest, FramesAreFittedIntoTheWindow) {
    openTone(10.0);
    const Lines lines = confirmWith("[RepeatTimes]=853", "[RepeatTimes]=2000");
    EXPECT_EQ(lines[1], "parameter confirmed.");
    EXPECT_EQ(frame->m_workPara->m_repeatTimes, 853); // (441000 - 4096 - 1) / 512
    EXPECT_NE(block().find("[RepeatTimes]=853 "), std::string::npos);

    // Changing only the noise rebuilds without the "need re-calculation" line.
    EXPECT_EQ(confirmWith("[NoiseParameter]=0.0005000000", "[NoiseParameter]=0.001"),
              (Lines{"confirm parameter.", "parameter confirmed."}));
    EXPECT_FLOAT_EQ(frame->m_wavePara->m_noiseParameter, 0.001f);
}

TEST_F(ConfirmTest, TooFewFramesForAShortSound) {
    openTone(4609.0 / 44100); // room for exactly two frames of 4096 with a 512 hop
    EXPECT_EQ(confirmWith("[RepeatTimes]=1", "[RepeatTimes]=3"),
              (Lines{"confirm parameter.", "parameter confirmed.",
                     "[ExcutionSize] wrong, back parameter."}));
    EXPECT_EQ(frame->m_workPara->m_repeatTimes, 1);
}

TEST_F(ConfirmTest, RangesAreClampedToTheSound) {
    openTone(10.0);
    confirmWith("[FreqrRnage]=[0,8000]", "[FreqrRnage]=[100,30000]");
    EXPECT_NE(block().find("[FreqrRnage]=[100,22050] "), std::string::npos);
    confirmWith("[dBRnage]=[-160.0,0.0]", "[dBRnage]=[10.0,5.0]");
    EXPECT_NE(block().find("[dBRnage]=[-190.0,0.0] "), std::string::npos);
    EXPECT_EQ(frame->m_canvasPanel->m_rangeTo, 2048); // bins of 22050 / 2048 Hz up to 22050 Hz
}

TEST_F(ConfirmTest, AllocationFailurePutsThePreviousSizesBack) {
    openTone(10.0);
    const std::string original = block();
    workmemory_detail::setArrayAllocator(failAllocation);
    const Lines lines = confirmWith("[SsftSize]=4096", "[SsftSize]=2048");
    workmemory_detail::setArrayAllocator(nullptr);
    EXPECT_EQ(lines.back(), "memory allocation failed.");
    EXPECT_EQ(block(), original);
    // The allocator failed for the old sizes too; what matters is a consistent object.
    const CWorkMemory& work = *frame->m_workPara;
    EXPECT_TRUE((work.m_ssftSize == 4096 && work.m_wave) || (work.m_ssftSize == 0 && !work.m_wave));
}
