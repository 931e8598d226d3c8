#include "cli/CliRun.h"

using testwav::TempFile;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// A CSV row without its frame number: the same frame of two runs has the same rest.
std::string rest(const std::string& row) {
    return row.substr(row.find(','));
}

} // namespace

// 3 s at 16 kHz, SsftSize 2048, Interval 512: (48000 - 2048) / 512 + 1 = 90 frames, taken in runs
// of 7 frames (12 full runs and one of 6). Each run is the window's own run of its stretch, so it
// equals `pitch --start` there; the last frame (89, from sample 45568) is in, frame 90 would pass
// the end.
TEST(CliWhole, RunsEqualTheWindowsRunsAndReachTheEnd) {
    TempFile wav(toneWav(3.0, 16000));
    const CliRun whole = cli({"pitch", wav.path, "--whole", "--frames", "7", "--threads", "2"});
    ASSERT_EQ(whole.status, 0) << whole.err;
    const std::vector<std::string> rows = lines(whole.out);
    ASSERT_EQ(rows.size(), 1u + 90u);
    EXPECT_EQ(rows.back().substr(0, 12), "89,2.848000,");
    for (long first : {0L, 7L, 49L, 84L}) {
        const long frames = first == 84 ? 6 : 7;
        const CliRun window = cli({"pitch", wav.path, "--start", std::to_string(first * 512),
                                   "--frames", std::to_string(frames)});
        const std::vector<std::string> windowRows = lines(window.out);
        ASSERT_EQ(windowRows.size(), size_t(1 + frames)) << window.err;
        for (long t = 0; t < frames; ++t)
            EXPECT_EQ(rest(windowRows[1 + t]), rest(rows[1 + first + t])) << first + t;
    }
    // The default run (89 frames fit the window) is the first run of a whole one, whose
    // second run is the last frame alone.
    const std::string defaultRun = cli({"pitch", wav.path}).out;
    const std::string wholeDefault = cli({"pitch", wav.path, "--whole"}).out;
    EXPECT_EQ(wholeDefault.substr(0, defaultRun.size()), defaultRun);
    EXPECT_EQ(lines(wholeDefault).size(), 1u + 90u);

    // A span: from sample 16000 to 32000, (16000 - 2048) / 512 + 1 = 28 frames.
    const CliRun span = cli({"pitch", wav.path, "--whole", "--from", "1", "--to", "2"});
    const std::vector<std::string> spanRows = lines(span.out);
    ASSERT_EQ(spanRows.size(), 1u + 28u) << span.err;
    EXPECT_EQ(spanRows[1].substr(0, 11) + spanRows.back().substr(0, 12), "0,1.000000,27,1.864000,");
}

// The planes of voiceprint --whole --npy are the rows of the runs, written whole (bad spans and
// mixes of options are refused with the other bad arguments, in Cli_test).
TEST(CliWhole, VoiceprintPlanesAndRefusals) {
    ScratchDir scratch;
    TempFile wav(toneWav(3.0, 16000));
    const std::string dir = scratch.path() + "/npy", single = scratch.path() + "/one";
    CliRun r = cli({"voiceprint", wav.path, "--whole", "--frames", "40", "--npy", dir});
    ASSERT_TRUE(r.status == 0 && r.out.rfind("voiceprint: 90 frames x 1024 bins", 0) == 0) << r.err;
    r = cli({"voiceprint", wav.path, "--start", "20480", "--frames", "40", "--npy", single});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string planes = slurp(dir + "/restoreDbMap.npy"),
                      one = slurp(single + "/restoreDbMap.npy");
    const size_t head = 128, row = 1024 * 8;
    ASSERT_EQ(planes.size(), head + 90 * row);
    EXPECT_TRUE(planes.compare(head + 40 * row, 40 * row, one, head, 40 * row) == 0);
    EXPECT_EQ(slurp(dir + "/hamDb.npy").size(), head + row);

    // An input in the folder under an array's name is refused before it could be written over.
    const std::string input = dir + "/rectDb.npy";
    testwav::writeFile(input, toneWav(0.5, 16000));
    r = cli({"voiceprint", input, "--whole", "--npy", dir});
    EXPECT_EQ(r.err,
              "vocalith-cli: " + input + " is an input of this command; it is not written over.\n");
}

// A run asked to stop hands no run of frames on after the asking; opening defaults switch at
// 22050 Hz. 3 s at 16 kHz in runs of 7 frames: stopped after the second run.
TEST(AnalysisRun, CancelStopsBetweenRunsAndDefaultsSwitchAtTheRate) {
    TempFile wav(toneWav(3.0, 16000));
    AnalysisOptions o;
    o.whole = true;
    o.frames = "7";
    o.threads = "1";
    AnalysisSetup s;
    std::ostringstream err;
    std::string usage;
    ASSERT_EQ(prepareAnalysis(SoundSource::file(wav.path), o, s, err, usage), Prepared::ok)
        << err.str();
    long sunk = 0;
    s.cancelled = [&] { return sunk >= 14; };
    const auto sink = [&](const AnalysisChunk& c, const CWorkMemory&) {
        return (sunk += c.frames);
    };
    EXPECT_FALSE(runAnalysis(s, sink, {}, err));
    EXPECT_EQ(std::make_pair(sunk, err.str()),
              std::make_pair(14L, std::string("voiceprint calculation canceled.\n")));
    const OpeningDefaults low = openingDefaults(22049, 441000), high = openingDefaults(22050, 4096);
    EXPECT_EQ(std::make_tuple(low.ssftSize, low.repeatTimes, low.freqHigh, low.dbLow),
              std::make_tuple(2048L, 857L, 6000L, -130.0));
    EXPECT_EQ(std::make_tuple(high.ssftSize, high.repeatTimes, high.freqHigh, high.dbLow),
              std::make_tuple(4096L, 0L, 8000L, -160.0));
}
