// The performance counter in seconds, for the tests that time what they watch.
#pragma once
#include <windows.h>

inline double SecondsNow() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}
