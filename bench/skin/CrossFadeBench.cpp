// One fade step against its 10 ms timer tick: DrawCrossFade of two 256 x 256 pictures (and of two
// sizes, over a backdrop) into a 32-bit back buffer, timed call by call.
// Run under wine: wine crossfade_bench.exe [calls]
#include "SkinTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

uint32_t Gradient(uint32_t x, uint32_t y) { return 0xFF000000 | x << 16 | y << 8 | ((x + y) & 0xFF); }
uint32_t Rings(uint32_t x, uint32_t y) {
  const uint32_t r = ((x - 128) * (x - 128) + (y - 128) * (y - 128)) / 64;
  return (r < 200 ? 0xFF000000 : 0x00000000) | (r & 0xFF) << 16 | (255 - (r & 0xFF)) << 8 | 0x80;
}

double Millis(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

template <typename Step>
void Report(const char* name, int calls, Step step) {
  for (int i = 0; i < 50; ++i) step(i);
  LARGE_INTEGER frequency, from, to;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  times.reserve(size_t(calls));
  for (int i = 0; i < calls; ++i) {
    QueryPerformanceCounter(&from);
    step(i);
    QueryPerformanceCounter(&to);
    times.push_back(Millis(from, to, frequency));
  }
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  printf("%-34s median %.3f ms  p90 %.3f ms  max %.3f ms  (%.1f%% of the 10 ms tick; budget 1 ms: %s)\n",
         name, median, times[times.size() * 9 / 10], times.back(), median / 10.0 * 100.0,
         median < 1.0 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  const int calls = argc > 1 ? atoi(argv[1]) : 2000;
  TGdiplusSession gdiplus;
  TSkinImage* oldImage = ImageFromBytes(EncodePng(MakePixels(256, 256, Gradient)));
  TSkinImage* newImage = ImageFromBytes(EncodePng(MakePixels(256, 256, Rings)));
  TSkinImage* smaller = ImageFromBytes(EncodePng(MakePixels(200, 256, Rings)));
  {
    TDibSurface backBuffer(320, 320, 0);
    TDibSurface backdrop(256, 256, 0xFF404040);
    Report("DrawCrossFade 256x256", calls, [&](int i) {
      DrawCrossFade(10, 10, uint32_t(i * 15 % 256), oldImage, newImage, backBuffer.dc);
    });
    Report("DrawCrossFade 256x256 to 200x256", calls, [&](int i) {
      DrawCrossFade(10, 10, uint32_t(i * 15 % 256), oldImage, smaller, backBuffer.dc, backdrop.dc);
    });
    DrawingOsVersion = 6;
    Report("DrawImage 256x256 (AlphaBlend)", calls,
           [&](int) { DrawImage(10, 10, newImage, backBuffer.dc); });
    DrawingOsVersion = 4;
    Report("DrawImage 256x256 (BitBlt)", calls,
           [&](int) { DrawImage(10, 10, newImage, backBuffer.dc); });
  }
  oldImage->Destroy(true);
  newImage->Destroy(true);
  smaller->Destroy(true);
  return 0;
}
