// Wall-clock milliseconds since 1970, for lining up what a driver prints with a recording.
#pragma once
#include <windows.h>

inline long long UnixMs() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  return static_cast<long long>((t.QuadPart - 116444736000000000ULL) / 10000);
}
