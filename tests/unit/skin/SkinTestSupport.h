// Pictures made in memory, a readable drawing surface, and a GDI+ session for the skin tests.
#pragma once
#include "skin/SkinImage.h"
#include "tests/support/GdiObjects.h"
#include "tests/support/Pictures.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The colour composited over transparent black, as GDI receives it.
uint32_t Premultiplied(uint32_t argb);

// Every channel of `a` within 1 of `b`'s: the platform's rounding.
bool WithinOne(uint32_t a, uint32_t b);
// new x alpha / 255 + old x (1 - alpha / 255), channel by channel, rounded.
uint32_t Blend(uint32_t oldPixel, uint32_t newPixel, uint32_t alpha);

// A picture decoded from `bytes` through a stream that is released before this returns.
TSkinImage* ImageFromBytes(const std::vector<uint8_t>& bytes);

// A memory DC over a top-down 32-bit DIB section.
class TDibSurface {
public:
  TDibSurface(uint32_t width, uint32_t height, uint32_t fill);
  ~TDibSurface();
  TDibSurface(const TDibSurface&) = delete;
  TDibSurface& operator=(const TDibSurface&) = delete;
  uint32_t At(uint32_t x, uint32_t y) const;
  HDC dc = nullptr;
  const uint32_t width;
  const uint32_t height;

private:
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  uint32_t* bits = nullptr;
};

// Where a window stands and how large it is: left, top, width, height.
inline std::array<LONG, 4> WindowBox(HWND hwnd) {
  RECT r = {};
  GetWindowRect(hwnd, &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Bytes in use in the process heap (GDI+ allocates there).
size_t ProcessHeapBytes();
