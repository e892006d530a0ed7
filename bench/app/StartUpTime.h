// For the start-up benchmark: prints the milliseconds from the creation of this process to now.
#pragma once
#include <windows.h>

#include <cstdio>

inline int ReportStartUpTime() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimePreciseAsFileTime(&now);
  ULARGE_INTEGER a, b;
  a.LowPart = created.dwLowDateTime;
  a.HighPart = created.dwHighDateTime;
  b.LowPart = now.dwLowDateTime;
  b.HighPart = now.dwHighDateTime;
  std::printf("startup_ms %.1f\n", double(b.QuadPart - a.QuadPart) / 10000.0);
  std::fflush(stdout);
  return 0;
}
