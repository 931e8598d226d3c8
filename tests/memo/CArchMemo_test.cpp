#include <gtest/gtest.h>

#include "memo/CArchMemo.h"

TEST(CArchMemo, StartsEmptyAndZero) {
    CArchMemo memo;
    EXPECT_TRUE(memo.m_memoText.IsEmpty());
    EXPECT_TRUE(memo.m_prior.IsEmpty());
    EXPECT_EQ(memo.m_titleNo, 0);
    EXPECT_EQ(memo.m_termNo, 0);
    EXPECT_EQ(memo.m_relX, 0.0f);
    EXPECT_EQ(memo.m_relY, 0.0f);
    EXPECT_EQ(memo.m_freq, 0);
    EXPECT_EQ(memo.m_viewStart, 0);
    EXPECT_EQ(memo.m_viewCursor, 0);
    EXPECT_EQ(memo.m_viewLength, 0);
    EXPECT_EQ(memo.GetMemoPrior(), CArchMemo::High) << "empty reads as High";
}

TEST(CArchMemo, StoredPriorityReadsBackOnlyWhenInRange) {
    CArchMemo memo;
    const std::pair<const char*, CArchMemo::MemoPrior> cases[] = {
        {"0", CArchMemo::High},  {"1", CArchMemo::Mid},   {"2", CArchMemo::Low},
        {"7", CArchMemo::High},  {"-1", CArchMemo::High}, {"3", CArchMemo::High},
        {"1x", CArchMemo::High}, {"x", CArchMemo::High},  {"", CArchMemo::High},
    };
    for (const auto& c : cases) {
        memo.m_prior = c.first;
        EXPECT_EQ(memo.GetMemoPrior(), c.second) << "m_prior \"" << c.first << "\"";
    }
}

TEST(CArchMemo, SetMemoPriorWritesDecimalAndIgnoresOutOfRange) {
    CArchMemo memo;
    memo.SetMemoPrior(CArchMemo::Low);
    EXPECT_EQ(memo.m_prior, "2");
    memo.SetMemoPrior(CArchMemo::Mid);
    EXPECT_EQ(memo.m_prior, "1");
    memo.SetMemoPrior(static_cast<CArchMemo::MemoPrior>(3));
    EXPECT_EQ(memo.m_prior, "1");
    memo.SetMemoPrior(static_cast<CArchMemo::MemoPrior>(-1));
    EXPECT_EQ(memo.m_prior, "1");
    EXPECT_EQ(memo.GetMemoPrior(), CArchMemo::Mid);
    memo.SetMemoPrior(CArchMemo::High);
    EXPECT_EQ(memo.m_prior, "0");
}
