#include <gtest/gtest.h>

#include "engine/sound/SiblingPath.h"

TEST(SiblingPath, ReplacesTheLastWavAndRefusesNamesWithout) {
    EXPECT_EQ(siblingPath("/data/talk.wav", ".vlh"), "/data/talk.vlh");
    EXPECT_EQ(siblingPath("talk.wav", "-ExportFromMemo.wav"), "talk-ExportFromMemo.wav");
    EXPECT_EQ(siblingPath("a.wav/b.wav", ""), "a.wav/b");
    EXPECT_EQ(siblingPath("take.wav.bak", ".trn"), "take.trn"); // wherever it stands
    EXPECT_EQ(siblingPath("talk.WAV", ".vlh"), std::nullopt);
    EXPECT_EQ(siblingPath("take.wav.d/talk", ".vlh"), std::nullopt); // a folder's name is no kind
    EXPECT_EQ(siblingPath("", ".vlh"), std::nullopt);
}
