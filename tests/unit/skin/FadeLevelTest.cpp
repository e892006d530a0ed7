#include "skin/FadeLevel.h"
#include "skin/ClockText.h"
#include "skin/MeterLevels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

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

// A tone lights its own band, at its level; the bars rise at once and fall at their rate.
TEST(MeterLevelsTest, ATonesBandAndTheBarsThatShowIt) {
  TBandAnalyser analyser(5, 44100);
  std::vector<int16_t> pcm(2 * MeterWindowFrames);
  std::vector<double> levels;
  const double tones[] = {80, 300, 1000, 3000, 8000};  // one in each band
  for (int band = 0; band < 5; ++band) {
    for (uint32_t i = 0; i < MeterWindowFrames; ++i)
      pcm[2 * i] = pcm[2 * i + 1] = int16_t(16384 * std::sin(2 * 3.141592653589793 * tones[band] * i / 44100));
    analyser.Measure(pcm.data(), levels);
    for (int b = 0; b < 5; ++b)
      EXPECT_TRUE(b == band ? std::abs(levels[b] + 6.0) < 1.0 : levels[b] < -MeterRangeDb) << band << " " << levels[b];
  }
  std::fill(pcm.begin(), pcm.end(), int16_t(1));
  analyser.Measure(pcm.data(), levels);
  EXPECT_TRUE(std::all_of(levels.begin(), levels.end(), [](double l) { return l < -MeterRangeDb; }));

  TMeterBars bars(3);
  bars.Update({0.0, -24.0, -60.0}, 0.0);
  EXPECT_EQ(bars.Lit(), (std::vector<double>{1.0, 0.5, 0.0}));
  bars.Fall(0.3);
  bars.Update({-36.0, -48.0, -60.0}, 0.0);
  EXPECT_EQ(bars.Lit(), (std::vector<double>{0.5, 0.0, 0.0}));
  EXPECT_FALSE(bars.IsDark());
  bars.Fall(0.3);
  EXPECT_TRUE(bars.IsDark());
}

TEST(ClockTextTest, MinutesThenHoursAndTheGlyphs) {
  const std::pair<uint32_t, const char*> times[] = {{0, "0:00"},     {59, "0:59"},       {61, "1:01"},
                                                    {600, "10:00"},  {3599, "59:59"},    {3600, "1:00:00"},
                                                    {36061, "10:01:01"}, {UINT32_MAX, "1193046:28:15"}};
  for (const auto& t : times) {
    char text[ClockTextSize];
    FormatClock(t.first, text);
    EXPECT_STREQ(t.second, text);
  }
  for (const auto& [c, glyph] : std::vector<std::pair<char, int>>{{'0', 0}, {'9', 9}, {':', 10}, {' ', -1}})
    EXPECT_EQ(glyph, ClockGlyph(c)) << c;
}

}  // namespace
