#include "skin/RegionScan.h"

std::vector<TTransparentRun> ScanTransparentRuns(const uint8_t* pixels, uint32_t width,
                                                 uint32_t height, int32_t stride) {
  std::vector<TTransparentRun> runs;
  if (pixels == nullptr) return runs;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = pixels + int64_t(y) * stride;
    int32_t runStart = -1;
    uint8_t previousAlpha = 0xFF;  // as if an opaque pixel stood left of column 0
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t alpha = row[size_t(x) * 4 + 3];
      if (alpha == 0 && previousAlpha != 0) {
        runStart = int32_t(x);
      } else if (alpha != 0 && previousAlpha == 0) {
        runs.push_back({int32_t(y), runStart, int32_t(x)});
        runStart = -1;
      }
      previousAlpha = alpha;
    }
    if (runStart >= 0) runs.push_back({int32_t(y), runStart, int32_t(width)});
  }
  return runs;
}

std::vector<TOutlineRect> OpaqueRectangles(uint32_t width, uint32_t height,
                                           const std::vector<TTransparentRun>& runs) {
  std::vector<TOutlineRect> rects;
  size_t previousRow = 0, previousCount = 0;  // where the row above starts in `rects`, and its size
  size_t next = 0;
  for (int32_t y = 0; y < int32_t(height); ++y) {
    const size_t rowStart = rects.size();
    int32_t x = 0;
    for (; next < runs.size() && runs[next].row == y; ++next) {
      if (runs[next].firstColumn > x) rects.push_back({x, y, runs[next].firstColumn, y + 1});
      x = runs[next].endColumn;
    }
    if (x < int32_t(width)) rects.push_back({x, y, int32_t(width), y + 1});
    const size_t count = rects.size() - rowStart;
    bool repeats = count == previousCount && count > 0;
    for (size_t i = 0; repeats && i < count; ++i)
      repeats = rects[rowStart + i].left == rects[previousRow + i].left &&
                rects[rowStart + i].right == rects[previousRow + i].right;
    if (repeats) {
      rects.resize(rowStart);
      for (size_t i = 0; i < count; ++i) rects[previousRow + i].bottom = y + 1;
    } else {
      previousRow = rowStart;
      previousCount = count;
    }
  }
  return rects;
}
