#include <filesystem>

#include "gui/frame/FrameHelpers.h"

using ExportTest = FrameTest;

// Only the last ".wav" of the sound's name gives way to the export's.
// Memo groups are made directly in the frame's three lists over a ramp sound (sample i holds
// i mod 2^15), so that every exported sample tells where it came from.
TEST_F(ExportTest, GroupsAtOrAboveThePriorityLimitWithAndWithoutBlanks) {
    const std::string wav = testwav::wav(testwav::ramp(530000));
    const auto samples = [&](long first, long count) {
        return wav.substr(size_t(44 + 2 * first), size_t(2 * count));
    };
    // A group whose view started at viewStart and whose stretch at viewCursor inside it; the
    // block's frames cover 9 * 512 + 2048 = 6656 samples. Its title memos play no part.
    const auto addGroup = [&](int title, CArchMemo::MemoPrior prior, int viewStart, int viewCursor,
                              const char* block =
                                  "[SsftSize]=2048 [Interval]=512 [RepeatTimes]=10 ") {
        auto* sub = new CArchMemo;
        sub->m_titleNo = title;
        sub->SetMemoPrior(prior);
        auto* param = new CArchMemo;
        param->m_memoText = block;
        param->m_viewStart = viewStart;
        param->m_viewCursor = viewCursor;
        win().memos().subs().Append(sub);
        win().memos().termLists().Append(new wxList);
        win().memos().params().Append(param);
    };
    const auto exportTo = [&](const std::string& name) {
        press(frame, ID_ExportWav);
        return slurp(dir.path() + "/" + name);
    };
    open(dir.file("take.wav.wav", wav));
    const std::string path = dir.path() + "/take.wav-ExportFromMemo.wav";
    win().tourRunning() = true; // nothing is exported during a memo tour
    press(frame, ID_ExportWav);
    EXPECT_NE(lastLog(frame), "memo not found to export");
    win().tourRunning() = false;
    press(frame, ID_ExportWav);
    EXPECT_EQ(lastLog(frame), "memo not found to export");

    addGroup(1, CArchMemo::High, 0, 1000);
    // Outside the window shown now: the export moves it there and back.
    addGroup(2, CArchMemo::High, 500000, 20000);
    wxFileName::Mkdir(path);
    press(frame, ID_ExportWav);
    EXPECT_EQ(lastLog(frame), "could not create wave file to export");
    wxFileName::Rmdir(path);

    const std::string both = samples(1000, 6656) + samples(520000, 6656);
    EXPECT_TRUE(exportTo("take.wav-ExportFromMemo.wav") == testwav::header({}, 26624) + both);
    EXPECT_EQ(win().wave()->m_windowInt[7], 7) << "the window shown before is back";
    // A disk that fills during the export (half-way, or at its last byte): the previous export
    // stays whole, nothing else is left, the log says why.
    for (rlim_t limit : {rlim_t(20000), rlim_t(44 + 26624 - 1)}) {
        withFileSizeLimit(limit, [&] { press(frame, ID_ExportWav); });
        EXPECT_EQ(lastLog(frame), "could not write wave file to export") << limit;
        EXPECT_TRUE(slurp(path) == testwav::header({}, 26624) + both) << limit;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    win().containBlank()->SetValue(true);
    const std::string blank(2 * 6656, '\0');
    EXPECT_TRUE(exportTo("take.wav-ExportFromMemo-wb.wav") == testwav::header({}, 53248) +
                                                                  samples(1000, 6656) + blank +
                                                                  samples(520000, 6656) + blank);

    win().containBlank()->SetValue(false);
    win().priorlimit()->SetSelection(CArchMemo::Mid);
    addGroup(3, CArchMemo::Low, 0, 200);
    addGroup(4, CArchMemo::Mid, 500000, 26000); // runs 2656 samples past the end
    addGroup(5, CArchMemo::High, 0, -3000);     // starts 3000 samples before the start
    EXPECT_TRUE(exportTo("take.wav-ExportFromMemo.wav") ==
                testwav::header({}, 2 * (2 * 6656 + 4000 + 3656)) + both + samples(526000, 4000) +
                    samples(0, 3656));
    const auto lines = log();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"memo 4 outside the sound, 4000 of 6656 samples exported.",
                                        "memo 5 outside the sound, 3656 of 6656 samples exported.",
                                        path + " exported"}));

    // 4052 whole-sound stretches pass the 32-bit size: refused there, before the broken
    // block of the last group is reached and before anything is written.
    for (int title = 6; title < 6 + 4100; ++title)
        addGroup(title, CArchMemo::High, 0, 0, "[SsftSize]=530000 [Interval]=1 [RepeatTimes]=1 ");
    addGroup(9999, CArchMemo::High, 0, 0, "[SsftSize]=x");
    const std::string before = slurp(path);
    press(frame, ID_ExportWav);
    EXPECT_EQ(lastLog(frame), "too long to export as one wave file");
    EXPECT_TRUE(slurp(path) == before);
}
