#include "engine/sound/ParameterBlock.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

// A 10-second 44.1 kHz mono file just after opening: (441000 - 1 - 4096) / 512 = 853 frames.
ParameterValues opened() {
    return {44100, 16, 1, 441000, 0, 4096, 512, 853, 0.0005f, 0, 8000, -160.0, 0.0};
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

TEST(ParameterBlock, FormatsEveryPiece) {
    // ExcutionSize 852 x 512 + 4096 = 440320, 9.985 s; SsftSec 4096 / 44100 = 0.093 s.
    EXPECT_EQ(formatParameterBlock(opened()),
              "    ///// wave file parameter /////     \n"
              "[SampleFreq]=44100 [QuantBit]=16 [ChannelCount]=1 [TotalLength]=441000 "
              "[TotalSec]=10.000[s] \n"
              "     ///// execution parameter /////     \n"
              "[SenseMode(normal or fine)]= normal \n"
              "[SsftSize]=4096 [SsftSec]=0.093[s] [Interval]=512 [RepeatTimes]=853 "
              "[NoiseParameter]=0.0005000000 [ExcutionSize]=440320 [ExcutionSec]=9.985[s] "
              "[FreqrRnage]=[0,8000] [dBRnage]=[-160.0,0.0] ");

    // Without a sampling frequency every time is 0.
    ParameterValues v = opened();
    v.sampleFreq = 0;
    v.senseMode = 1;
    const std::string block = formatParameterBlock(v);
    for (const char* piece : {"[TotalSec]=0.000[s] ", "[SsftSec]=0.000[s] ",
                              "[ExcutionSec]=0.000[s] ", "\n[SenseMode(normal or fine)]= fine \n"})
        EXPECT_NE(block.find(piece), std::string::npos) << piece;
    EXPECT_EQ(formatPosition(66150, 44100), " 66150 - 1.500[s]  ");
    EXPECT_EQ(formatPosition(66150, 44100, false), " 66150 - 1.500[s] ");
    EXPECT_EQ(formatPosition(7, 0, false), " 7 - 0.000[s] ");
}

// Spaces inside the ranges are allowed and clamping is left to setRangeXY. The sense item needs
// exactly one space before its value; without it an old block is assumed, in normal mode. (That a
// written block reads back is checked by the fuzz replay on its seeds.)
TEST(ParameterBlock, ReadsRangesWithSpacesAndOldBlocks) {
    const std::string block = formatParameterBlock(opened());
    ParsedParameters p = parseParameterBlock(
        replaced(replaced(block, "[FreqrRnage]=[0,8000] ", "[FreqrRnage]= [ 100 ,\t30000 ]\n"),
                 "[dBRnage]=[-160.0,0.0] ", "[dBRnage]=[ 10.0, 5 ]"));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(std::make_tuple(p.freqLow, p.freqHigh, p.dbLow, p.dbHigh),
              std::make_tuple(100, 30000, 10.0, 5.0));
    p = parseParameterBlock(replaced(block, "= normal \n", "= fine\n"));
    EXPECT_TRUE(p.ok && p.senseMode == 1);
    p = parseParameterBlock(replaced(block, "[SenseMode(normal or fine)]= normal \n", ""));
    EXPECT_TRUE(p.ok && p.senseMode == 0);
    EXPECT_EQ(p.notes, (std::vector<std::string>{
                           "not exist [SenseMode(normal or fine)].",
                           "it seems old version parameter list. normal sense mode asume"}));
}

// The first error stops the parse and names the key; a line of ours names its valid values.
TEST(ParameterBlock, RefusesValuesWithTheKeysMessage) {
    const std::string block = formatParameterBlock(opened());
    using Lines = std::vector<std::string>;
    auto wrong = [](const std::string& which, const std::string& key, const std::string& valid) {
        return Lines{which + key + " wrong, back parameter.", key + " must be " + valid};
    };
    // clang-format off
    const std::string hz = "two whole numbers of Hz, [low,high], 0 to half the sampling rate.",
                      db = "two numbers of dB, [low,high], the high one at most 0.0.";
    const Lines sense = wrong("", "[SenseMode]",
                              "\" normal\" or \" fine\" (a space after the \"=\")."),
                repeat = wrong("", "[RepeatTimes]", "a whole number of frames, at least 1, with "
                               "(RepeatTimes - 1) x Interval + SsftSize at most 2147483647."),
                noise = wrong("", "[NoiseParameter]", "a number from 1e-10 to 3.4e+38, e.g. 0.0005"
                              "."),
                interval = wrong("", "[Interval]", "a whole number of samples, at least 1."),
                freqLow = wrong("low limit of ", "[FreqrRnage]", hz);
    const struct { const char* from; const char* to; Lines errors; } cases[] = {
        {"= normal ", "=fine ", sense},
        {"[SsftSize]=4096", "[SsftSize]=3000",
         {"[SsftSize] wrong, must 256 512 1024 2048 4096", "8192 16384 or 32768, back parameter."}},
        {"[SsftSize]=4096", "[SsftSize]=x [NoiseParameter]=x",
         wrong("", "[SsftSize]", "256, 512, 1024, 2048, 4096, 8192, 16384 or 32768.")},
        {"[Interval]=512", "[Interval]=0", interval},
        {"[RepeatTimes]=853", "[RepeatTimes]=0", repeat},
        {"[RepeatTimes]=853", "[RepeatTimes]=4294967297", repeat},
        {"[RepeatTimes]=853", "[RepeatTimes]=4194297", repeat}, // 4194296 x 512 + 4096 > 2^31-1
        {"=0.0005000000", "=1e-50", noise},   // 0 as a float
        {"=0.0005000000", "=1e39", noise},    // inf as a float
        {"=0.0005000000", "=1e-11", noise},   // shown as 0.0000000000
        {"[FreqrRnage]=[0,", "[FreqrRnage]=[a,", freqLow},
        {"[FreqrRnage]=[0,8000] ", "", freqLow},
        {",8000]", ",8000x]", wrong("high limit of ", "[FreqrRnage]", hz)},
        {"[-160.0,", "[nan,", wrong("low limit of ", "[dBRnage]", db)},
        {",0.0]", ",-inf]", wrong("high limit of ", "[dBRnage]", db)},
    };
    // clang-format on
    for (const auto& c : cases) {
        const ParsedParameters p = parseParameterBlock(replaced(block, c.from, c.to));
        EXPECT_TRUE(!p.ok && p.errors == c.errors) << c.to << "\n"
                                                   << testing::PrintToString(p.errors);
    }
    // The largest span that still fits: 4194295 x 512 + 4096 = 2^31 - 512.
    EXPECT_TRUE(
        parseParameterBlock(replaced(block, "[RepeatTimes]=853", "[RepeatTimes]=4194296")).ok);
}
