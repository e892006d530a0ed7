// A picture of the disk decoded as the check needs it: its size, whether it decodes, its alpha.
// No Windows here: the natively built check judges a picture as the Windows one does.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TPicture {
  bool ok = false;    // decoded whole
  std::string fault;  // why it does not decode; empty for one too large to decode whole, whose size is known
  int width = 0;
  int height = 0;
  std::vector<std::string> colourChunks;  // PNG chunks that make GDI+ colour-correct the picture
  bool hasAlpha = false;
  std::vector<uint8_t> alpha;  // row by row; only when asked for
};

// The formats GDI+ decodes that a skin would use. A picture of more than maxPixels pixels is not
// decoded whole: its header is parsed and its first rows decoded, so that no size is believed
// from bytes that only look like a header.
TPicture DecodePicture(const uint8_t* data, size_t size, bool keepAlpha, uint64_t maxPixels);
