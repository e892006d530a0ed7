#include "skin/FadeLevel.h"

TFadeStep StepFade(int32_t level) {
  // Compared before adding, so that no level can overflow.
  const int32_t alpha = level >= FadeFull - FadeStep ? FadeFull : level + FadeStep;
  const bool finished = alpha >= FadeFull;
  return {alpha, finished ? 0 : alpha, finished};
}
