#include <gtest/gtest.h>

#include "engine/memo/CArchMemo.h"

// The stored priority reads back only when it is 0, 1 or 2 (empty, text or out of range read as
// High); setting an out-of-range value leaves the stored text as it was.
TEST(CArchMemo, PriorityIsStoredAsDecimalText) {
    CArchMemo memo;
    EXPECT_TRUE(memo.m_prior.IsEmpty() && memo.m_titleNo == 0 && memo.m_viewLength == 0);
    const std::pair<const char*, CArchMemo::MemoPrior> cases[] = {
        {"0", CArchMemo::High},  {"1", CArchMemo::Mid},   {"2", CArchMemo::Low},
        {"7", CArchMemo::High},  {"-1", CArchMemo::High}, {"3", CArchMemo::High},
        {"1x", CArchMemo::High}, {"x", CArchMemo::High},  {"", CArchMemo::High},
    };
    for (const auto& [stored, prior] : cases) {
        memo.m_prior = stored;
        EXPECT_EQ(memo.GetMemoPrior(), prior) << '"' << stored << '"';
    }
    const std::pair<int, const char*> sets[] = {{2, "2"}, {1, "1"}, {3, "1"}, {-1, "1"}, {0, "0"}};
    for (const auto& [prior, stored] : sets) {
        memo.SetMemoPrior(CArchMemo::MemoPrior(prior));
        EXPECT_EQ(memo.m_prior, stored) << prior;
    }
}
