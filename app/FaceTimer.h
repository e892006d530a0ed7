// The display timer of the meter and the clock. It has a procedure of its own, so that the
// window procedure, which runs the fade on every WM_TIMER it gets, never sees its ticks.
#pragma once
#include <windows.h>

constexpr UINT_PTR FaceTimerId = 10003;
constexpr UINT FaceTimerPeriodMs = 33;  // about 30 frames a second

// Runs the timer, if the skin has a meter or a clock, until the sound is stopped or paused and
// the meter has fallen dark. Called after anything that may start or stop the sound.
void WakeFace(HWND window);
