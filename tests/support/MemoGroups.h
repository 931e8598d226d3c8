#pragma once

#include "engine/analysis/CWorkMemory.h"
#include "gui/frame/MemoLists.h"
#include "support/RecordingSoundBackend.h"

// A frame on a 4-second ramp at 16 kHz (sample i = i), analysing 2.0 s stretches
// (2048-point frames every 256 samples, 118 frames = 32000 samples), with memo groups made as
// a user would: the stretch moved to a cursor, then a title memo added there.
class MemoGroupTest : public MemoFrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        open(dir.file("talk.wav", testwav::wav(testwav::ramp(64000), 1, 16000)));
        inside(frame).canvasPanel()->SetSize(600, 400);
        inside(frame).canvasPanelSub()->SetSize(400, 100);
        setStretch(2048, 256, 118);
        ASSERT_EQ(inside(frame).work()->m_excutionSize, 32000);
        ASSERT_EQ(double(inside(frame).executionSec()), 2.0);
        mark = log().size();
    }

    // A new group whose stretch starts at the cursor; returns its title number.
    int addGroup(int cursor, const wxString& text, CArchMemo::MemoPrior prior = CArchMemo::High) {
        frame->shiftSliderPos(cursor);
        inside(frame).curTitle() = -1;
        frame->addTitle(text, 100, 100);
        inside(frame).memos().subAt(inside(frame).memos().count() - 1)->SetMemoPrior(prior);
        return inside(frame).curTitle();
    }

    // The first sample of each play: the ramp's value at the stretch's start.
    static std::vector<int> playedStarts(const RecordingSoundBackend& rec) {
        std::vector<int> starts;
        for (const auto& p : rec.plays)
            if (p.samples.size() >= 2)
                starts.push_back(int(uint8_t(p.samples[0]) | uint8_t(p.samples[1]) << 8));
        return starts;
    }
};
