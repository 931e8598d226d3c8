#include "sound/ParameterBlock.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

// A 10-second 44.1 kHz mono file just after opening.
ParameterValues opened() {
    ParameterValues v;
    v.sampleFreq = 44100;
    v.quantBit = 16;
    v.channelCount = 1;
    v.totalSamples = 441000;
    v.ssftSize = 4096;
    v.interval = 512;
    v.repeatTimes = 853; // (441000 - 1 - 4096) / 512
    v.noiseParameter = 0.0005f;
    v.freqLow = 0;
    v.freqHigh = 8000;
    v.dbLow = -160.0;
    v.dbHigh = 0.0;
    return v;
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

    ParameterValues v = opened();
    v.sampleFreq = 0;
    v.senseMode = 1;
    const std::string block = formatParameterBlock(v);
    EXPECT_NE(block.find("[TotalSec]=0.000[s] "), std::string::npos);
    EXPECT_NE(block.find("[SsftSec]=0.000[s] "), std::string::npos);
    EXPECT_NE(block.find("[ExcutionSec]=0.000[s] "), std::string::npos);
    EXPECT_NE(block.find("\n[SenseMode(normal or fine)]= fine \n"), std::string::npos);

    EXPECT_EQ(formatPosition(66150, 44100), " 66150 - 1.500[s]  ");
    EXPECT_EQ(formatPosition(66150, 44100, false), " 66150 - 1.500[s] ");
    EXPECT_EQ(formatPosition(7, 0, false), " 7 - 0.000[s] ");
}

TEST(ParameterBlock, ReadsBackWhatItWrites) {
    ParsedParameters p = parseParameterBlock(formatParameterBlock(opened()));
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.notes.empty() && p.errors.empty());
    EXPECT_EQ(p.noiseParameter, 0.0005f);

    const ParameterValues v = {8000, 16, 2, 4410, 1, 256, 3, 1000, 0.25f, 100, 4000, -42.5, -0.5};
    p = parseParameterBlock(formatParameterBlock(v));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(std::make_tuple(p.senseMode, p.ssftSize, p.interval, p.repeatTimes, p.noiseParameter,
                              p.freqLow, p.freqHigh, p.dbLow, p.dbHigh),
              std::make_tuple(1, 256, 3, 1000, 0.25f, 100, 4000, -42.5, -0.5));

    // Spaces inside the ranges; clamping is left to setRangeXY.
    std::string block = replaced(formatParameterBlock(opened()), "[FreqrRnage]=[0,8000] ",
                                 "[FreqrRnage]= [ 100 ,\t30000 ]\n");
    p = parseParameterBlock(replaced(block, "[dBRnage]=[-160.0,0.0] ", "[dBRnage]=[ 10.0, 5 ]"));
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(std::make_tuple(p.freqLow, p.freqHigh, p.dbLow, p.dbHigh),
              std::make_tuple(100, 30000, 10.0, 5.0));
}

TEST(ParameterBlock, SenseModeNeedsOneSpace) {
    const std::string block = formatParameterBlock(opened());
    const std::string item = "[SenseMode(normal or fine)]= normal \n";
    const std::string key = "[SenseMode(normal or fine)]=";

    ParsedParameters p = parseParameterBlock(replaced(block, item, key + " fine\n"));
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.senseMode, 1);

    for (const char* value : {"fine", "  normal", "", " Fine"}) {
        p = parseParameterBlock(replaced(block, item, key + value + " "));
        EXPECT_FALSE(p.ok) << value;
        EXPECT_EQ(p.errors, std::vector<std::string>{"[SenseMode] wrong, back parameter."});
    }

    p = parseParameterBlock(replaced(block, item, ""));
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.senseMode, 0);
    EXPECT_EQ(p.notes, (std::vector<std::string>{
                           "not exist [SenseMode(normal or fine)].",
                           "it seems old version parameter list. normal sense mode asume"}));
}

TEST(ParameterBlock, RefusesValuesWithTheKeysMessage) {
    const std::string block = formatParameterBlock(opened());
    auto wrong = [](const std::string& what) { return what + " wrong, back parameter."; };
    const std::string repeat = wrong("[RepeatTimes]"), noise = wrong("[NoiseParameter]");
    const struct {
        const char* from;
        const char* to;
        std::vector<std::string> errors;
    } cases[] = {
        {"[SsftSize]=4096",
         "[SsftSize]=3000",
         {"[SsftSize] wrong, must 256 512 1024 2048 4096", "8192 16384 or 32768, back parameter."}},
        {"[SsftSize]=4096",
         "[SsftSize]=x [NoiseParameter]=x",
         {wrong("[SsftSize]")}}, // first error only
        {"[Interval]=512 ", "", {wrong("[Interval]")}},
        {"[Interval]=512", "[Interval]=0", {wrong("[Interval]")}},
        {"[RepeatTimes]=853", "[RepeatTimes]=0", {repeat}},
        {"[RepeatTimes]=853", "[RepeatTimes]=4294967297", {repeat}},
        {"[RepeatTimes]=853", "[RepeatTimes]=4194297", {repeat}}, // 4194296 x 512 + 4096 > 2^31-1
        {"=0.0005000000", "=abc", {noise}},
        {"=0.0005000000", "=0", {noise}},
        {"=0.0005000000", "=1e-50", {noise}}, // 0 as a float
        {"=0.0005000000", "=1e39", {noise}},  // inf as a float
        {"=0.0005000000", "=1e-11", {noise}}, // shown as 0.0000000000
        {"[FreqrRnage]=[0,", "[FreqrRnage]=[a,", {wrong("low limit of [FreqrRnage]")}},
        {"[FreqrRnage]=[0,8000]", "[FreqrRnage]=0,8000", {wrong("low limit of [FreqrRnage]")}},
        {"[FreqrRnage]=[0,8000] ", "", {wrong("low limit of [FreqrRnage]")}},
        {",8000]", ",8000x]", {wrong("high limit of [FreqrRnage]")}},
        {"[-160.0,", "[nan,", {wrong("low limit of [dBRnage]")}},
        {",0.0]", ",-inf]", {wrong("high limit of [dBRnage]")}},
        {"[dBRnage]=[-160.0,0.0] ", "", {wrong("low limit of [dBRnage]")}},
    };
    for (const auto& c : cases) {
        const ParsedParameters p = parseParameterBlock(replaced(block, c.from, c.to));
        EXPECT_FALSE(p.ok) << c.to;
        EXPECT_EQ(p.errors, c.errors) << c.to;
    }

    // The largest span that still fits: 4194295 x 512 + 4096 = 2^31 - 512.
    EXPECT_TRUE(
        parseParameterBlock(replaced(block, "[RepeatTimes]=853", "[RepeatTimes]=4194296")).ok);
}
