#include <unistd.h>

#include "gui/frame/FrameHelpers.h"

// Faults the frame meets from outside: a sound file cut while it is open.

using FaultTest = FrameTest;

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
    ASSERT_EQ(truncate(path.c_str(), 44 + 2 * 1000000), 0);

    win().jumptext()->SetValue(wxString::Format("%zu", samples.size()));
    press(frame, ID_RRRRigth);
    CWavPara& wave = *win().wave();
    ASSERT_GT(int64_t(wave.m_windowStart), int64_t(CWavPara::kDefaultCacheLen) - wave.m_windowLen);
    EXPECT_EQ(std::count(wave.m_window, wave.m_window + wave.m_windowLen, 0.0), wave.m_windowLen);
    const CWorkMemory& work = *win().work();
    EXPECT_EQ(std::count(work.m_wave, work.m_wave + work.m_excutionSize, 0.0), work.m_excutionSize);

    // Back at the start the samples that remain are read again.
    press(frame, ID_MostLLLLeft);
    EXPECT_EQ(wave.m_windowStart, 0);
    for (int i : {0, 1, 999, 440999})
        EXPECT_EQ(wave.m_window[i], double(samples[size_t(i)])) << i;
}
