#include "skin/FadeLevel.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <vector>

namespace {

TEST(FadeLevelTest, AFadeTakesSeventeenTicksAndEndsAtZero) {
  std::vector<int32_t> drawn;
  int32_t level = 0;
  for (int tick = 0; tick < 100; ++tick) {
    const TFadeStep step = StepFade(level);
    drawn.push_back(step.alpha);
    level = step.nextLevel;
    if (step.finished) break;
    EXPECT_EQ(level, step.alpha);
  }
  ASSERT_EQ(drawn.size(), 17u);
  for (size_t i = 0; i < drawn.size(); ++i) EXPECT_EQ(drawn[i], std::min(15 * int32_t(i + 1), 255));
  EXPECT_EQ(level, 0);
}

// A fade taken over mid-way goes on from its level; the last step is capped at full.
TEST(FadeLevelTest, StepsFromAnyLevelNeverPassFull) {
  const struct {
    int32_t level, alpha;
    bool finished;
  } cases[] = {{75, 90, false}, {239, 254, false}, {240, 255, true}, {250, 255, true},
               {INT32_MAX, 255, true}};
  for (const auto& c : cases) {
    const TFadeStep step = StepFade(c.level);
    EXPECT_EQ(step.alpha, c.alpha) << c.level;
    EXPECT_EQ(step.finished, c.finished) << c.level;
    EXPECT_EQ(step.nextLevel, c.finished ? 0 : c.alpha) << c.level;
  }
}

}  // namespace
