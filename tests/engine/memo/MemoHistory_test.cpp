#include <gtest/gtest.h>

#include "engine/memo/MemoHistory.h"

namespace {
std::string orNone(const std::string* s) {
    return s ? *s : "none";
}
// What `times` undos give, in order.
std::string undone(MemoHistory& h, int times) {
    std::string out;
    while (times-- > 0)
        out += orNone(h.undo());
    return out;
}
} // namespace

TEST(MemoHistory, KeepsTheNewestStepsWithinItsBoundsAndKnowsTheSavedOne) {
    MemoHistory h(3, 12);
    h.reset("aa", true);
    EXPECT_FALSE(h.record("aa")) << "an edit that changed nothing is no step";
    for (const char* s : {"bb", "cc", "dd", "ee"})
        EXPECT_TRUE(h.record(s));
    // Three steps at most: "aa" went, and the saved state with it.
    EXPECT_EQ(std::make_tuple(h.steps(), h.bytes(), h.atSaved()), std::make_tuple(3u, 8u, false));
    EXPECT_EQ(undone(h, 4), "ddccbbnone");
    h.markSaved();
    EXPECT_EQ(orNone(h.redo()), "cc");
    EXPECT_FALSE(h.atSaved());
    EXPECT_EQ(orNone(h.undo()), "bb");
    EXPECT_TRUE(h.atSaved());
    // A new edit drops what could be redone; twelve bytes keep "bb", "x" and the big state only.
    h.record("x");
    h.record("0123456789");
    EXPECT_EQ(std::make_tuple(h.steps(), h.bytes(), h.canRedo()), std::make_tuple(1u, 11u, false));
    EXPECT_EQ(undone(h, 2), "xnone");
    // A saved state undone and then replaced by a new edit never comes back.
    h.reset("s", false);
    h.record("t");
    h.markSaved();
    h.undo();
    h.record("u");
    EXPECT_FALSE(h.atSaved() || (h.undo() && h.atSaved()));
}
