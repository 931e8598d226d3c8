#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "cli/Cli.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/DemoVoice.h"
#include "support/TestWav.h"

namespace {

double rms(const std::vector<int16_t>& v, double from, double to) {
    double sum = 0.0;
    const size_t a = size_t(from * 44100), b = size_t(to * 44100);
    for (size_t i = a; i < b; ++i)
        sum += double(v[i]) * v[i];
    return std::sqrt(sum / double(b - a));
}

} // namespace

TEST(DemoVoice, PhrasesAndPausesOfAVoiceLongEnoughToBrowse) {
    const std::vector<int16_t> voice = synthesizeDemoVoice(44100, 24.0);
    ASSERT_EQ(voice.size(), 24u * 44100u);
    EXPECT_EQ(voice, synthesizeDemoVoice(44100, 24.0)) << "deterministic";
    // Phrases of 2.4 s, pauses of 0.6 s.
    EXPECT_GT(rms(voice, 0.5, 2.0), 1000.0);
    EXPECT_LT(rms(voice, 2.45, 2.95), 20.0);
    EXPECT_GT(rms(voice, 3.5, 5.0), 1000.0);
    int clipped = 0;
    for (int16_t s : voice)
        clipped += s == 32767 || s == -32767;
    EXPECT_LT(clipped, 50);
}

TEST(DemoVoice, CliWritesAFileTheReaderOpens) {
    const std::string path = "/tmp/vocalith-demo-test-" + std::to_string(getpid()) + ".wav";
    const char* argv[] = {"vocalith-cli", "demo", path.c_str()};
    std::ostringstream out, err;
    ASSERT_EQ(runCli(3, argv, out, err), 0) << err.str();
    CWavPara wave;
    ASSERT_EQ(wave.setSizeFromWav(path.c_str()), CWavPara::resultOK);
    EXPECT_EQ(wave.m_sampleFreq, 44100);
    EXPECT_EQ(wave.m_totalSamples, 24 * 44100);
    unlink(path.c_str());

    const char* bad[] = {"vocalith-cli", "demo", "/nonexistent-dir/demo.wav"};
    EXPECT_EQ(runCli(3, bad, out, err), 1);
    EXPECT_NE(err.str().find("cannot write /nonexistent-dir/demo.wav."), std::string::npos);
}
