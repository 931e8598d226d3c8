#include "cli/CliRun.h"
#include "support/EncodedSound.h"

#include <zlib.h>

#include <array>

#include <sys/stat.h>

using testwav::TempFile;

namespace {

// The pixel rows of an 8-bit grey or RGB PNG as vocalith-cli writes it, each after its filter
// byte (always 0); empty unless it is width x height.
std::vector<unsigned char> pngRows(const std::string& p, uint32_t width, uint32_t height) {
    auto big32 = [&](size_t at) {
        return uint32_t(uint8_t(p[at])) << 24 | uint8_t(p[at + 1]) << 16 | uint8_t(p[at + 2]) << 8 |
               uint8_t(p[at + 3]);
    };
    if (p.size() < 33 || p.compare(12, 4, "IHDR") != 0 || big32(16) != width ||
        big32(20) != height || crc32(0, reinterpret_cast<const Bytef*>(&p[12]), 17) != big32(29))
        return {};
    std::string packed;
    for (size_t at = 8; at + 12 <= p.size(); at += 12 + big32(at))
        if (p.compare(at + 4, 4, "IDAT") == 0)
            packed += p.substr(at + 8, big32(at));
    std::vector<unsigned char> raw(height * (1 + (p[25] == 2 ? 3 : 1) * size_t(width)));
    uLongf rawLen = raw.size();
    const bool ok = uncompress(raw.data(), &rawLen, reinterpret_cast<const Bytef*>(packed.data()),
                               packed.size()) == Z_OK;
    return ok && rawLen == raw.size() ? raw : std::vector<unsigned char>();
}

} // namespace

// Every failing command line exits 1 with its message: "usage:" for those the usage text follows.
// Option values go through the parameter block's checks and messages; @ is a 1 s sound at 16 kHz.
TEST(Cli, UsageAndBadArguments) {
    TempFile wav(toneWav(1.0, 16000));
    const CliRun help = cli({"--help"});
    EXPECT_TRUE(cli({}).status == 1 && help.status == 0 &&
                help.out.rfind("usage: vocalith-cli info FILE.wav", 0) == 0);
    const std::string span =
        "--from and --to must be seconds from 0 to 1.000, --from before --to.\n";
    const std::pair<std::string, std::string> failures[] = {
        {"frobnicate @", "usage:"},
        {"voiceprint", "usage:"},
        {"voiceprint @ --png p.png --plain --size 300x200", "usage:"},
        {"voiceprint @ --png p.png --size 199x150",
         "vocalith-cli: --size needs WIDTHxHEIGHT from 200x150 to 4096x4096.\nusage:"},
        {"voiceprint @ --png p.png --memos @.none",
         "vocalith-cli: cannot read the memo list @.none.\n"},
        {"voiceprint @ --png @", "vocalith-cli: @ is an input of this command; it is not written "
                                 "over.\n"},
        {"voiceprint @ --ssft 3000",
         "[SsftSize] wrong, must 256 512 1024 2048 4096\n8192 16384 or 32768, back parameter.\n"},
        {"voiceprint @ --interval 0", "[Interval] wrong, back parameter.\n"},
        {"voiceprint @ --frames -3", "[RepeatTimes] wrong, back parameter.\n"},
        {"voiceprint @ --noise x", "[NoiseParameter] wrong, back parameter.\n"},
        {"voiceprint @ --start 641", "--start must be a sample from 0 to 640.\n"},
        {"voiceprint @ --npy @", "vocalith-cli: @ is not a directory.\n"},
        // Spans belong to whole runs, which write arrays only.
        {"voiceprint @ --whole --npy @.npy --from 0.6 --to 0.5", span},
        {"voiceprint @ --whole --npy @.npy --from -1", span},
        {"voiceprint @ --whole --npy @.npy --from 0.9", "data length not enough.\n"},
        {"voiceprint @ --from 0.5", "usage:"},
        {"voiceprint @ --whole --npy @.npy --start 0", "usage:"},
        {"voiceprint @ --whole --npy @.npy --png x.png", "usage:"},
    };
    const auto withWav = [&](std::string text) {
        for (size_t at; (at = text.find('@')) != std::string::npos;)
            text.replace(at, 1, wav.path);
        return text;
    };
    for (const auto& [line, message] : failures) {
        std::istringstream words(withWav(line));
        const CliRun r = cli({std::istream_iterator<std::string>(words), {}});
        const std::string expected = withWav(message);
        const bool usage = expected.size() >= 6 && expected.substr(expected.size() - 6) == "usage:";
        EXPECT_TRUE(r.status == 1 &&
                    (usage ? r.err.find(expected) != std::string::npos : r.err == expected))
            << line << ": " << r.err;
    }
    EXPECT_TRUE(access("p.png", F_OK) != 0 && access(withWav("@.npy").c_str(), F_OK) != 0)
        << "a failed run writes nothing";
}

TEST(Cli, InfoShowsWhatOpeningSets) {
    TempFile tenSeconds(testwav::wav(std::vector<int16_t>(441000)));
    CliRun r = cli({"info", tenSeconds.path});
    EXPECT_EQ(r.status ? r.err : r.out,
              "[SampleFreq]=44100\n[QuantBit]=16\n[ChannelCount]=1\n[TotalLength]=441000\n"
              "[TotalSec]=10.000[s]\n[SenseMode(normal or fine)]= normal\n"
              "[SsftSize]=4096\n[SsftSec]=0.093[s]\n[Interval]=512\n[RepeatTimes]=853\n"
              "[NoiseParameter]=0.0005000000\n[ExcutionSize]=440320\n"
              "[ExcutionSec]=9.985[s]\n[FreqrRnage]=[0,8000]\n[dBRnage]=[-160.0,0.0]\n");

    const std::string failed = "wave file reading failed.\n";
    const std::pair<std::string, std::string> failures[] = {
        {testwav::header({1, 1, 44100, 40}, 0), failed + "quat bit 16.\n"},
        {testwav::header({1, 3}, 0), failed + "channel count 1 or 2.\n"},
        {"RIFF", failed + "file damaged or not a sound.\n"},
        {testwav::wav(std::vector<int16_t>(1000)), "data length not enough.\n"},
        {testwav::wav(std::vector<int16_t>(5000), 1, 0), failed + "sampling frequency wrong.\n"},
        {testwav::header({1, 1, 0, 24}, 6) + "abcdef", failed + "sampling frequency wrong.\n"},
        {"", failed + "file empty.\n"},
    };
    for (const auto& f : failures) {
        TempFile file(f.first);
        r = cli({"info", file.path});
        EXPECT_TRUE(r.status == 1 && r.out.empty() && r.err == f.second) << r.err;
    }
    // Paths that are no file are refused before anything opens them (a pipe would block).
    ScratchDir d;
    const std::string pipe = d.path() + "/pipe.wav", loop = d.path() + "/loop.wav";
    ASSERT_TRUE(mkfifo(pipe.c_str(), 0600) == 0 && symlink(loop.c_str(), loop.c_str()) == 0);
    const std::pair<std::string, std::string> paths[] = {{d.path() + "/none.wav", "no such file."},
                                                         {d.path(), "a folder, not a file."},
                                                         {pipe, "not a regular file."},
                                                         {loop, "too many levels of links."}};
    for (const auto& [path, reason] : paths)
        for (const char* command : {"info", "pitch"})
            EXPECT_EQ(cli({command, path}).err, failed + reason + "\n") << command << path;
    // An AIFF's rate of 0 (an 80-bit float in COMM) would be read as 1 Hz.
    const std::string aiff = d.path() + "/zero.aiff";
    ASSERT_TRUE(
        writeEncoded(aiff, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, testwav::ramp(8000), 1, 16000));
    std::string bytes = slurp(aiff);
    testwav::writeFile(aiff, bytes.replace(bytes.find("COMM") + 16, 10, std::string(10, '\0')));
    EXPECT_EQ(cli({"info", aiff}).err, failed + "sampling frequency wrong.\n");
}

// The planes' numbers are the engine's (checked there); here their files: three .npy arrays and a
// plain PNG of one column per frame and bins 0 .. 6000 Hz / 7.8125 Hz = 768 upwards.
// The labelled picture at 400 x 300 (plot at (40, 27), 282 x 245, see VoiceprintPng_test) shows
// the title memo of a High group made on the same stretch at relX 0.5 and 3000 Hz: sample
// 600 + 0.5 * (27 * 512 + 2048) - 1024 = 7512, column 6912 * 282 / 13824 = 141, row
// 3000 * 245 / 6000 = 122 from the bottom: a red square at (181, 149).
TEST(Cli, VoiceprintPlanesAndPictures) {
    ScratchDir scratch; // takes the npy folder, the pictures and the memo list with it
    TempFile wav(toneWav(1.0, 16000));
    const std::string dir = scratch.path() + "/npy", png = scratch.path() + "/v.png";
    const std::string block =
        formatParameterBlock(analysis(16000, 16000, 2048, 512, 27, 6000, -130));
    const std::string memos = scratch.file(
        "v.vlh", oneGroupList(memoGroup(block, 0, 600, CArchMemo::High, {{"vowel", 0.5f, 3000}})));
    CliRun r = cli({"voiceprint", wav.path, "--start", "600", "--noise", "0.001", "--threads", "2",
                    "--npy", dir, "--png", png, "--plain"});
    ASSERT_TRUE(r.status == 0 && r.out.rfind("voiceprint: 27 frames x 1024 bins (SsftSize 2048, "
                                             "Interval 512, normal, from sample 600) in ",
                                             0) == 0)
        << r.err;
    // One frame is a run too.
    r = cli({"pitch", wav.path, "--frames", "1"});
    EXPECT_TRUE(r.status == 0 && std::count(r.out.begin(), r.out.end(), '\n') == 2) << r.err;

    // Each array: the format's mark, its shape in a header of 128 bytes, then the doubles.
    for (const auto& [name, shape, values] : {std::tuple{"restoreDbMap", "(27, 1024)", 27 * 1024},
                                              {"hamDbMap", "(27, 1024)", 27 * 1024},
                                              {"restoreDb", "(1024,)", 1024}}) {
        const std::string f = slurp(dir + "/" + name + ".npy");
        EXPECT_TRUE(f.rfind("\x93NUMPY", 0) == 0 &&
                    f.find(std::string("'shape': ") + shape) < 128 &&
                    f.size() == 128 + 8 * size_t(values))
            << name;
    }
    EXPECT_FALSE(pngRows(slurp(png), 27, 769).empty());
    // The same picture on the standard output, the progress lines on the standard error.
    r = cli(
        {"voiceprint", wav.path, "--start", "600", "--noise", "0.001", "--png", "-", "--plain"});
    EXPECT_TRUE(r.status == 0 && r.out == slurp(png) &&
                r.err.rfind("voiceprint: 27 frames", 0) == 0 &&
                r.err.find("wrote -\n") != std::string::npos);

    r = cli({"voiceprint", wav.path, "--start", "600", "--png", png, "--size", "400x300", "--pitch",
             "--memos", memos});
    ASSERT_TRUE(r.status == 0 && r.out.find("wrote " + png + "\n") != std::string::npos) << r.err;
    const std::vector<unsigned char> raw = pngRows(slurp(png), 400, 300);
    ASSERT_FALSE(raw.empty());
    const unsigned char* red = &raw[149 * (1 + 3 * 400) + 1 + 3 * 181];
    EXPECT_EQ((std::array<int, 3>{red[0], red[1], red[2]}), (std::array<int, 3>{255, 0, 0}));

    // Too many frames are fitted: (16000 - 2048 - 1) / 256 = 54. The pitch CSV has a header, then
    // one line per frame ((16000 - 1 - 2048) / 512 = 27).
    r = cli({"voiceprint", wav.path, "--frames", "2000", "--interval", "256", "--fine"});
    EXPECT_TRUE(
        r.status == 0 &&
        r.out.rfind("voiceprint: 54 frames x 1024 bins (SsftSize 2048, Interval 256, fine", 0) == 0)
        << r.err;

    r = cli({"pitch", wav.path, "--hamming"});
    EXPECT_TRUE(r.status == 0 &&
                r.out.rfind("frame,time_s,pitch_hz,pitch_level,power,harmonics\n0,0.000000,", 0) ==
                    0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1 + 27);
}

// One group from sample 22050 (20 frames of 4096 every 512) with a title and a term, through
// every memos command and its failures.
TEST(Cli, MemosExportAndImportThroughFiles) {
    TempFile wav(testwav::wav(std::vector<int16_t>(44100 * 3)), "talk.wav");
    const std::string block =
        formatParameterBlock(analysis(44100, 44100 * 3, 4096, 512, 20, 8000, -160));
    TempFile vlh(oneGroupList(memoGroup(block, 0, 22050, CArchMemo::Low,
                                        {{"vowel", 0.4f, 900}, {"a, then e", 0.4f, 900}})),
                 "talk.vlh");
    TempFile grid("", "talk.TextGrid"), back("", "back.vlh");
    EXPECT_NE(cli({"memos"}).err.find("(.TextGrid), Audacity labels (.txt) or CSV"),
              std::string::npos);

    CliRun r = cli({"memos", "export", vlh.path, "--format", "textgrid", "-o", grid.path});
    EXPECT_EQ(r.out, "wrote " + grid.path + ": 1 groups, 2 memos\n") << r.err;
    r = cli({"memos", "import", grid.path, "--wav", wav.path, "-o", back.path});
    EXPECT_TRUE(r.status == 0 && readMemoListFile(back.path).slots.size() == 1u) << r.err;
    // An output that is an input through a link is refused before any work (by its name: the
    // table of bad arguments).
    const std::string sound = slurp(wav.path), link = back.path + ".lnk";
    ASSERT_EQ(symlink(wav.path.c_str(), link.c_str()), 0);
    r = cli({"memos", "import", grid.path, "--wav", wav.path, "-o", link});
    EXPECT_TRUE(r.status == 1 &&
                r.err == "vocalith-cli: " + link +
                             " is an input of this command; it is not written over.\n" &&
                slurp(wav.path) == sound)
        << r.err;
    unlink(link.c_str());

    // A damaged list fails the run, and nothing goes out: cut short, or with a number that
    // reads as 0.
    TempFile cut("Ver. 2.51\r\n1\r\n", "cut.vlh");
    r = cli({"memos", "export", cut.path, "--format", "csv"});
    EXPECT_TRUE(r.status == 1 && r.err == "memo list read failed.\n" && r.out.empty()) << r.err;
    std::string bent = slurp(vlh.path);
    TempFile bad(bent.replace(bent.find("\r\n22050\r\n") + 2, 5, "n/a"), "bad.vlh");
    r = cli({"memos", "export", bad.path, "--format", "csv"});
    EXPECT_TRUE(r.status == 1 &&
                r.err.find(" damaged, read as 0.\nmemo list read failed.\n") != std::string::npos &&
                r.out.empty())
        << r.err;
    EXPECT_EQ(cli({"memos", "import", grid.path, "-o", back.path}).status, 1);
    // A transcript becomes the groups the window makes of it.
    TempFile trn("1 0.5-1.0 a\nhello\n", "talk.trn");
    r = cli({"memos", "import", trn.path, "--wav", wav.path, "-o", back.path});
    const MemoListRead fromTrn = readMemoListFile(back.path);
    ASSERT_TRUE(r.status == 0 && fromTrn.slots.size() == 1u) << r.err;
    EXPECT_EQ(fromTrn.slots[0].terms.front()->m_memoText, "hello a");
    // An old memo text is the list the window saves after opening it; a damaged one fails.
    TempFile old(slurp(vlh.path), "old.txt"), oldBad(slurp(bad.path), "oldbad.txt");
    r = cli({"memos", "import", old.path, "--wav", wav.path, "-o", back.path});
    EXPECT_TRUE(r.status == 0 && slurp(back.path) == slurp(vlh.path)) << r.err;
    r = cli({"memos", "import", oldBad.path, "--wav", wav.path, "-o", back.path});
    EXPECT_TRUE(r.err == "memo list line 7 damaged, read as 0.\nmemo list read failed.\nquit to "
                         "read " +
                             oldBad.path + "\n" &&
                slurp(back.path) == slurp(vlh.path))
        << r.err;
    EXPECT_EQ(cli({"memos", "export", vlh.path, "--format", "praat"}).err.substr(0, 56),
              "vocalith-cli: --format needs textgrid, audacity or csv.\n");
}

// A FLAC is analysed exactly as the same samples in a 16-bit WAV; of a stereo file the channel
// asked for (mix: (2a + 0) / 2 = a), said once on stderr; a converted sound too short for one
// frame gets the window's message. a and b have pitches of 180 and 250 Hz.
TEST(Cli, ConvertedSoundsAndChannels) {
    ScratchDir d;
    std::vector<int16_t> a, b, ab, twiceA;
    auto voice = [](int i, double hz) {
        const double w = 2 * M_PI * hz / 16000 * i;
        return int16_t(3000 * (std::sin(w) + std::sin(2 * w) + std::sin(3 * w)));
    };
    for (int i = 0; i < 8000; ++i) {
        a.push_back(voice(i, 180));
        b.push_back(voice(i, 250));
        ab.insert(ab.end(), {a.back(), b.back()});
        twiceA.insert(twiceA.end(), {int16_t(2 * a.back()), 0});
    }
    const std::string flac = d.path() + "/ab.flac";
    ASSERT_TRUE(writeEncoded(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, ab, 2, 16000));
    // A run as its status, what it says on stderr and its CSV.
    auto pitch = [&](const std::string& file, const std::string& channel) {
        const CliRun r = cli({"pitch", file, "--channel", channel});
        return std::to_string(r.status) + " " + r.err + r.out;
    };
    const std::string monoA = cli({"pitch", d.file("a.wav", testwav::wav(a, 1, 16000))}).out,
                      monoB = cli({"pitch", d.file("b.wav", testwav::wav(b, 1, 16000))}).out;
    EXPECT_NE(monoA, monoB);
    EXPECT_EQ(pitch(flac, "left"), "0 stereo sound: left channel analysed.\n" + monoA);
    EXPECT_EQ(pitch(flac, "right"), "0 stereo sound: right channel analysed.\n" + monoB);
    EXPECT_EQ(pitch(d.file("2a.wav", testwav::wav(twiceA, 2, 16000)), "mix"),
              "0 stereo sound: mix of both channels analysed.\n" + monoA);
    EXPECT_EQ(pitch(flac, "centre").rfind("1 vocalith-cli: --channel needs left, right or mix.", 0),
              0u);

    a.resize(4410); // 0.1 s
    ASSERT_TRUE(writeEncoded(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, a, 1, 44100));
    EXPECT_EQ(cli({"info", flac}).err, "data length not enough.\n");
}

// A failing output fails the command before any file is put in place: the arrays of an earlier
// run stay. memos import opens sounds as every command does: FLAC and 24-bit WAV too.
TEST(Cli, FailedOutputsReplaceNothing) {
    ScratchDir d;
    const std::string wav = d.file("t.wav", toneWav(1.0, 16000)), npy = d.path() + "/npy";
    ASSERT_EQ(cli({"voiceprint", wav, "--npy", npy}).status, 0);
    const std::string before = slurp(npy + "/hamDbMap.npy");
    CliRun r = cli({"voiceprint", wav, "--fine", "--npy", npy, "--png", "/dev/full", "--plain"});
    EXPECT_TRUE(r.status == 1 && r.err == "vocalith-cli: cannot write /dev/full.\n" &&
                slurp(npy + "/hamDbMap.npy") == before)
        << r.err;

    const std::string grid = d.file("t.txt", "0.1\t0.5\tfirst\n"), vlh = d.path() + "/t.vlh";
    const std::vector<int16_t> samples(16000, 100);
    for (const int format : {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_WAV | SF_FORMAT_PCM_24}) {
        ASSERT_TRUE(writeEncoded(d.path() + "/e.snd", format, samples, 1, 16000));
        r = cli({"memos", "import", grid, "--wav", d.path() + "/e.snd", "-o", vlh});
        EXPECT_EQ(r.out, "wrote " + vlh + ": 1 groups\n") << r.err;
        r = cli({"memos", "export", vlh, "--format", "csv", "--wav", d.path() + "/e.snd"});
        EXPECT_EQ(r.out.find("group,title,term,priority,start,end,"), 0u) << r.err;
    }
}
