#include "drill/ProblemGenerator.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace tobrel;
using namespace tobrel::test;

TEST(ProblemGenerator, RangesPerLevel)
{
    for (int level = 1; level <= 6; ++level) {
        ScriptedRandom random;
        random.values = {0.0, 0.999999};
        ProblemGenerator gen(random);
        EXPECT_EQ(gen.next(level), 10) << level;
        EXPECT_EQ(gen.next(level), 9 + 3 * level) << level;
        EXPECT_EQ(gen.CorrectAnswer(), (9.0 + 3 * level) * (9 + 3 * level));
    }
}

TEST(ProblemGenerator, NeverRepeatsTheNumberJustAsked)
{
    ScriptedRandom random;
    // 10, then 10 again (redrawn), 12, then 10 (allowed: two problems back).
    random.values = {0.0, 0.1, 0.9, 0.0};
    ProblemGenerator gen(random);
    EXPECT_EQ(gen.next(1), 10);
    EXPECT_EQ(gen.next(1), 12);
    EXPECT_EQ(gen.next(1), 10);

    SystemRandom real;
    real.seed(12345);
    ProblemGenerator g2(real);
    std::set<int> seen;
    int prev = -1;
    for (int i = 0; i < 2000; ++i) {
        const int n = g2.next(6);
        EXPECT_NE(n, prev);
        EXPECT_GE(n, 10);
        EXPECT_LE(n, 27);
        seen.insert(n);
        prev = n;
    }
    EXPECT_EQ(seen.size(), 18u);
}

TEST(ProblemGenerator, FirstProblemOfARunIsNotComparedWithTheLastRun)
{
    ScriptedRandom random;
    random.values = {0.0, 0.0};
    ProblemGenerator gen(random);
    EXPECT_EQ(gen.next(1), 10);
    gen.reset();
    EXPECT_EQ(gen.next(1), 10);
}
