#include <fstream>
#include <iterator>
#include <string>

#include "engine/memo/CArchMemo.h"
#include "gui/frame/FrameHelpers.h"
#include "engine/sound/CWavPara.h"
#include "support/SoundFiles.h"

namespace {

// Memo groups made directly in the frame's three lists, over a ramp sound (sample i holds
// i mod 2^15), so that every exported sample tells where it came from.
class ExportTest : public FrameTest {
protected:
    void open(const std::string& name, int samples) {
        sound = testwav::ramp(samples);
        frame->m_waveFileName = dir.file(name, testwav::wav(sound));
        frame->m_chosenFileName = name;
        frame->readCommon();
        pumpEvents();
    }
    // A group whose view started at viewStart and whose stretch at viewCursor inside it; the
    // block's frames cover 9 * 512 + 2048 = 6656 samples. Its title memos play no part.
    void addGroup(int title, CArchMemo::MemoPrior prior, int viewStart, int viewCursor) {
        auto* sub = new CArchMemo;
        sub->m_titleNo = title;
        sub->SetMemoPrior(prior);
        auto* param = new CArchMemo;
        param->m_memoText = "[SsftSize]=2048 [Interval]=512 [RepeatTimes]=10 ";
        param->m_viewStart = viewStart;
        param->m_viewCursor = viewCursor;
        frame->m_titleSubList.Append(sub);
        frame->m_titleTermLists.Append(new wxList);
        frame->m_paramMemoList.Append(param);
    }
    std::string exportTo(const std::string& name) {
        press(frame, ID_ExportWav);
        std::ifstream in(dir.path() + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string samples(long first, long count) const {
        std::string s;
        for (long i = first; i < first + count; ++i)
            testwav::put16(s, uint16_t(sound[size_t(i)]));
        return s;
    }
    static std::string silence(long count) { return std::string(size_t(2 * count), '\0'); }

    ScratchDir dir;
    std::vector<int16_t> sound;
};

} // namespace

TEST_F(ExportTest, TwoGroupsWithAndWithoutBlanks) {
    open("talk.wav", 1000000);
    addGroup(1, CArchMemo::High, 0, 1000);
    // Outside the window shown now: the export moves it there and back.
    addGroup(2, CArchMemo::High, 500000, 20000);

    EXPECT_TRUE(exportTo("talk-ExportFromMemo.wav") ==
                testwav::header({}, 26624) + samples(1000, 6656) + samples(520000, 6656));
    EXPECT_EQ(log().back(), dir.path() + "/talk-ExportFromMemo.wav exported");
    EXPECT_EQ(frame->m_wavePara->m_windowStart, 0);
    EXPECT_EQ(frame->m_wavePara->m_windowInt[7], 7);

    frame->m_containBlank->SetValue(true);
    EXPECT_TRUE(exportTo("talk-ExportFromMemo-wb.wav") ==
                testwav::header({}, 53248) + samples(1000, 6656) + silence(6656) +
                    samples(520000, 6656) + silence(6656));
}

TEST_F(ExportTest, PriorityNameAndStretchesOutsideTheSound) {
    open("take.wav.wav", 50000);
    exportTo("none");
    EXPECT_EQ(log().back(), "memo not found to export");

    frame->m_priorlimit->SetSelection(CArchMemo::Mid);
    addGroup(1, CArchMemo::High, 0, 100);
    addGroup(2, CArchMemo::Low, 0, 200);
    addGroup(3, CArchMemo::Mid, 45000, 1000); // runs 2656 samples past the end
    addGroup(4, CArchMemo::High, 0, -3000);   // starts 3000 samples before the start
    EXPECT_TRUE(exportTo("take.wav-ExportFromMemo.wav") ==
                testwav::header({}, 2 * (6656 + 4000 + 3656)) + samples(100, 6656) +
                    samples(46000, 4000) + samples(0, 3656));
    const auto lines = log();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"memo 3 outside the sound, 4000 of 6656 samples exported.",
                                        "memo 4 outside the sound, 3656 of 6656 samples exported.",
                                        dir.path() + "/take.wav-ExportFromMemo.wav exported"}));
}
