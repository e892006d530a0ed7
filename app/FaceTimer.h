// The display timer of the meter and the clock. It has a procedure of its own, so that the
// window procedure, which runs the fade on every WM_TIMER it gets, never sees its ticks.
#pragma once
#include <windows.h>

constexpr UINT_PTR FaceTimerId = 10003;
// About 30 frames a second as a whole number of the system's ticks (in 100 ns): SetTimer rounds a
// period up to the next tick, so 33 ms on the usual 15.625 ms tick would run at 21 frames.
inline UINT FaceTimerPeriodMs(DWORD tick) {
  const double tickMs = tick > 0 ? tick / 10000.0 : 1.0;
  const double ticks = tickMs < 100 / 3.0 ? double(int(100 / 3.0 / tickMs + 0.5)) : 1.0;
  return UINT(ticks * tickMs);
}

// Runs the timer, if the skin has a meter or a clock, until the sound is stopped or paused and
// the meter has fallen dark. Called after anything that may start or stop the sound.
void WakeFace(HWND window);
// Draws and shows the face's frame at once, for a press that changed it, then wakes the timer.
void ShowFaceNow(HWND window);
