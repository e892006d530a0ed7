// The transparent outline of a picture: every horizontal run of pixels whose alpha is 0.
// Pure logic so that it builds and is tested natively too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct TTransparentRun {
  int32_t row;
  int32_t firstColumn;  // inclusive
  int32_t endColumn;    // exclusive
};

inline bool operator==(const TTransparentRun& a, const TTransparentRun& b) {
  return a.row == b.row && a.firstColumn == b.firstColumn && a.endColumn == b.endColumn;
}

// `pixels` holds `height` rows `stride` bytes apart, each pixel a little-endian 32-bit 0xAARRGGBB
// value (alpha in the fourth byte). Runs come row by row, left to right, never merged across rows.
std::vector<TTransparentRun> ScanTransparentRuns(const uint8_t* pixels, uint32_t width,
                                                 uint32_t height, int32_t stride);

struct TOutlineRect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

// The part of the width x height rectangle that `runs` (as the scan gives them) leave: opaque
// spans row by row, a span that repeats in the rows below grown down over them. Sorted top to
// bottom, then left to right, as a region's own rectangles are.
std::vector<TOutlineRect> OpaqueRectangles(uint32_t width, uint32_t height,
                                           const std::vector<TTransparentRun>& runs);
