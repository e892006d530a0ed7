// Pictures made in memory for the Windows tests, and the GDI+ session they need.
#pragma once
#include "skin/GdiPlusFlat.h"
#include "skin/GdiplusSession.h"

#include <cstdint>
#include <functional>
#include <vector>

// Straight (not premultiplied) 0xAARRGGBB pixels, row by row.
struct TPixels {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> argb;
  uint32_t& At(uint32_t x, uint32_t y) { return argb[size_t(y) * width + x]; }
  uint32_t At(uint32_t x, uint32_t y) const { return argb[size_t(y) * width + x]; }
};

TPixels MakePixels(uint32_t width, uint32_t height, const std::function<uint32_t(uint32_t x, uint32_t y)>& colour);

// PNG bytes encoded by GDI+.
std::vector<uint8_t> EncodePng(const TPixels& pixels);
