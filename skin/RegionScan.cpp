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
