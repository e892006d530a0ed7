// The steps of the info picture's cross-fade. Pure logic so that it builds and is tested natively.
#pragma once
#include <cstdint>

constexpr int32_t FadeStep = 15;
constexpr int32_t FadeFull = 255;  // 17 steps: 15, 30, ..., 240, 255

struct TFadeStep {
  int32_t alpha;      // what this tick draws the new picture at
  int32_t nextLevel;  // 0 once the fade is complete
  bool finished;      // the tick that drew the new picture fully: the timer can go
};

// One tick from `level` (0 when no fade is under way). A fade started during another goes on
// from the level already reached.
TFadeStep StepFade(int32_t level);
