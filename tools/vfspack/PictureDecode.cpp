#include "tools/vfspack/PictureDecode.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string_view>

#include "common/LittleEndian.h"
#include "stb_image.h"

namespace {

struct TStbFree {
  void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

const char* PictureFormat(const uint8_t* p, size_t n) {
  if (n >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0) return "PNG";
  if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return "JPEG";
  if (n >= 2 && p[0] == 'B' && p[1] == 'M') return "BMP";
  if (n >= 4 && std::memcmp(p, "GIF8", 4) == 0) return "GIF";
  return nullptr;
}

// Reads 0 past the end, as the decoder does.
size_t ByteAt(const uint8_t* p, size_t n, size_t i) { return i < n ? p[i] : 0; }

// The segments of a JPEG as the decoder walks them: `visit(marker, at, length)` is given each
// marker with the place of its length field and that length, until it returns false or the end
// marker comes. Anything between segments is skipped up to the next 0xFF, and after a scan header
// the entropy-coded data up to the next marker.
template <typename TVisit>
void WalkJpegSegments(const uint8_t* p, size_t n, TVisit&& visit) {
  size_t i = 2;
  while (i < n) {
    if (p[i++] != 0xFF) continue;
    while (i < n && p[i] == 0xFF) ++i;
    const size_t marker = ByteAt(p, n, i++);
    if (marker == 0xD9) break;
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    const size_t length = ByteAt(p, n, i) << 8 | ByteAt(p, n, i + 1);
    if (!visit(marker, i, length)) return;
    i += length;
    if (marker == 0xDA)
      while (i + 1 < n && !(p[i] == 0xFF && p[i + 1] != 0 && (p[i + 1] < 0xD0 || p[i + 1] > 0xD7))) ++i;
  }
}

// stb_image 2.27 writes past a Huffman table of a JPEG that declares more than 256 codes for
// it, and reads out of bounds through a table that a scan uses before any defined it. Such a
// file is damaged anyway, so it is turned away before the decoder sees it.
const char* JpegTableFault(const uint8_t* p, size_t n) {
  const auto at = [&](size_t i) { return ByteAt(p, n, i); };
  bool defined[2][4] = {};  // DC and AC tables 0 to 3
  bool progressive = false;
  const char* fault = nullptr;
  WalkJpegSegments(p, n, [&](size_t marker, size_t i, size_t length) {
    if (marker >= 0xC0 && marker <= 0xC2) progressive = marker == 0xC2;
    if (marker == 0xC4) {
      size_t table = i + 2;
      for (int64_t left = int64_t(length) - 2; left > 0;) {
        const size_t kind = at(table) >> 4;
        const size_t id = at(table) & 15;
        size_t codes = 0;
        for (size_t k = 1; k <= 16; ++k) codes += at(table + k);
        if (codes > 256) {
          fault = "a Huffman table holds more than 256 codes";
          return false;
        }
        if (kind <= 1 && id <= 3) defined[kind][id] = true;
        table += 17 + codes;
        left -= int64_t(17 + codes);
      }
    }
    if (marker == 0xDA) {
      // A progressive scan takes the DC table in its first DC pass only, the AC table in AC passes.
      const size_t components = at(i + 2);
      const size_t firstCoefficient = at(i + 3 + 2 * components);
      const size_t refinement = at(i + 5 + 2 * components) >> 4;
      const bool dc = !progressive || (firstCoefficient == 0 && refinement == 0);
      const bool ac = !progressive || firstCoefficient > 0;
      for (size_t c = 0; c < components; ++c) {
        const size_t dcId = at(i + 4 + 2 * c) >> 4;
        const size_t acId = at(i + 4 + 2 * c) & 15;
        if ((dc && (dcId > 3 || !defined[0][dcId])) || (ac && (acId > 3 || !defined[1][acId]))) {
          fault = "a scan uses a Huffman table that was never defined";
          return false;
        }
      }
    }
    return true;
  });
  return fault;
}

uint32_t Big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The chunks of a PNG in file order: `visit(type, at, length)` is given each chunk's type, place
// and claimed length until it returns false. A chunk that claims more than the file holds is the
// last one visited.
template <typename TVisit>
void WalkPngChunks(const uint8_t* p, size_t n, TVisit&& visit) {
  for (size_t at = 8; at + 8 <= n;) {
    const uint64_t length = Big32(p + at);
    if (!visit(std::string_view(reinterpret_cast<const char*>(p + at + 4), 4), at, length)) return;
    at += size_t(std::min<uint64_t>(length + 12, n - at));
  }
}

// The colour chunks ahead of the first IDAT, in file order.
std::vector<std::string> PngColourChunks(const uint8_t* p, size_t n) {
  std::vector<std::string> found;
  WalkPngChunks(p, n, [&](std::string_view type, size_t, uint64_t) {
    if (type == "IDAT" || type == "IEND") return false;
    if (type == "iCCP" || type == "sRGB" || type == "gAMA" || type == "cHRM") found.emplace_back(type);
    return true;
  });
  return found;
}

// The decoder sizes its buffer by what a chunk claims: a few bytes claiming a gigabyte would have
// it ask for two.
bool PngChunkRunsPastEnd(const uint8_t* p, size_t n) {
  bool past = false;
  WalkPngChunks(p, n, [&](std::string_view type, size_t at, uint64_t length) {
    past = length + 12 > n - at;
    return !past && type != "IEND";
  });
  return past;
}

// A picture too large to decode whole still has its first rows decoded, at most this many bytes
// of them: enough to tell a picture from bytes that only start like one.
constexpr uint64_t FirstRows = 8, FirstRowsBytes = uint64_t(1) << 22;

// The IDAT chunks (consecutive, as the format wants them) inflated up to the first rows.
std::string PngFirstRowsFault(const uint8_t* p, size_t n, uint32_t height) {
  const uint32_t width = Big32(p + 16);
  const uint8_t depth = p[24], colour = p[25], interlaced = p[28];
  const int channels = colour == 0 || colour == 3 ? 1 : colour == 2 ? 3 : colour == 4 ? 2 : 4;
  std::vector<uint8_t> packed;
  bool inData = false;
  WalkPngChunks(p, n, [&](std::string_view type, size_t at, uint64_t length) {
    const bool data = type == "IDAT";
    if (!data && inData) return false;
    if (data) packed.insert(packed.end(), p + at + 8, p + at + 8 + std::min<uint64_t>(length, n - at - 8));
    inData = data;
    return true;
  });
  if (packed.empty()) return "no pixel data follows its header";
  // An interlaced picture starts with its first pass, every eighth pixel of every eighth row.
  const uint64_t rowPixels = interlaced ? (uint64_t(width) + 7) / 8 : width;
  const uint64_t rows = std::min<uint64_t>(interlaced ? (uint64_t(height) + 7) / 8 : height, FirstRows);
  const uint64_t rowBytes = 1 + (rowPixels * uint64_t(channels) * depth + 7) / 8;
  const int want = int(std::min(rows * rowBytes, FirstRowsBytes));
  std::vector<char> pixels(size_t(want), '\0');
  const int got = stbi_zlib_decode_buffer(pixels.data(), want, reinterpret_cast<const char*>(packed.data()),
                                          int(std::min<size_t>(packed.size(), INT_MAX)));
  // Filling the buffer is what "output buffer limit" reports: the first rows are there.
  if (got < 0 && std::strcmp(stbi_failure_reason(), "output buffer limit") != 0)
    return std::string("its first rows do not decode: ") + stbi_failure_reason();
  if (got >= 0 && got < want) return "its pixel data ends within its first rows";
  if (uint8_t(pixels[0]) > 4) return "its first row names no known filter";
  return "";
}

// The blocks ahead of the first image, and that image's start.
std::string GifFirstImageFault(const uint8_t* p, size_t n) {
  const auto table = [](uint8_t flags) -> size_t { return flags & 0x80 ? size_t(3) << ((flags & 7) + 1) : 0; };
  if (n < 13) return "its header is cut short";
  size_t at = 13 + table(p[10]);
  for (;;) {
    if (at >= n || p[at] == 0x3B) return "it ends before its first image";
    const uint8_t block = p[at++];
    if (block == 0x21) {
      for (++at; at < n && p[at] != 0; at += size_t(p[at]) + 1) {
      }
      ++at;
      continue;
    }
    if (block != 0x2C) return "a block of no known kind comes before its first image";
    if (at + 9 > n) return "it ends within its first image";
    at += 9 + table(p[at + 8]);
    if (at + 2 > n || p[at + 1] == 0) return "its first image has no pixel data";
    if (p[at] > 12) return "its first image has an LZW code size above 12";
    return "";
  }
}

// A scan after the frame header, with data; its tables were walked before.
std::string JpegFirstScanFault(const uint8_t* p, size_t n) {
  std::string fault = "no scan follows its header";
  WalkJpegSegments(p, n, [&](size_t marker, size_t at, size_t length) {
    if (at + 1 >= n) return false;  // a length cut short
    if (marker == 0xDA) fault = at + 2 + length < n ? "" : "its first scan has no data";
    return marker != 0xDA;
  });
  return fault;
}

std::string BmpFirstRowFault(const uint8_t* p, size_t n, uint32_t width) {
  const bool core = n >= 18 && ReadLe32(p + 14) == 12;
  if (n < (core ? 26u : 34u)) return "its header is cut short";
  const uint32_t offset = ReadLe32(p + 10);
  const uint32_t bits = core ? ReadLe16(p + 24) : ReadLe16(p + 28);
  const uint32_t compression = core ? 0 : ReadLe32(p + 30);
  // Run-length coded rows have no fixed size; plain ones are padded to four bytes.
  const uint64_t firstRow = compression == 1 || compression == 2 ? 1 : (uint64_t(width) * bits + 31) / 32 * 4;
  return uint64_t(offset) + firstRow <= n ? "" : "its pixel data ends before its first row";
}

std::string FirstRowsFault(const char* format, const uint8_t* p, size_t n, int width, int height) {
  if (std::strcmp(format, "PNG") == 0) return PngFirstRowsFault(p, n, uint32_t(height));
  if (std::strcmp(format, "GIF") == 0) return GifFirstImageFault(p, n);
  if (std::strcmp(format, "JPEG") == 0) return JpegFirstScanFault(p, n);
  return BmpFirstRowFault(p, n, uint32_t(width));
}

}  // namespace

TPicture DecodePicture(const uint8_t* data, size_t size, bool keepAlpha, uint64_t maxPixels) {
  TPicture pic;
  const char* format = PictureFormat(data, size);
  if (!format) {
    pic.fault = "is not a picture (not a PNG, JPEG, BMP or GIF)";
    return pic;
  }
  const auto damaged = [&] {
    const char* why = stbi_failure_reason();
    return std::string("is a damaged ") + format + " (the decoder says: " + (why ? why : "unreadable") + ")";
  };
  const char* tableFault = std::strcmp(format, "JPEG") == 0 ? JpegTableFault(data, size) : nullptr;
  if (tableFault) {
    pic.fault = std::string("is a damaged JPEG (") + tableFault + ")";
    return pic;
  }
  int w = 0;
  int h = 0;
  int channels = 0;
  if (size > size_t(INT_MAX) || !stbi_info_from_memory(data, int(size), &w, &h, &channels)) {
    pic.fault = damaged();
    return pic;
  }
  pic.width = w;
  pic.height = h;
  if (std::strcmp(format, "PNG") == 0) pic.colourChunks = PngColourChunks(data, size);
  if (uint64_t(w) * uint64_t(h) > maxPixels) {
    const std::string fault = FirstRowsFault(format, data, size, w, h);
    if (!fault.empty()) pic.fault = std::string("is a damaged ") + format + " (" + fault + ")";
    return pic;
  }
  if (std::strcmp(format, "PNG") == 0 && PngChunkRunsPastEnd(data, size)) {
    pic.fault = "is a damaged PNG (a chunk runs past the end of the file)";
    return pic;
  }
  std::unique_ptr<stbi_uc, TStbFree> pixels(stbi_load_from_memory(data, int(size), &w, &h, &channels, 4));
  if (!pixels) {
    pic.fault = damaged();
    return pic;
  }
  pic.ok = true;
  const size_t count = size_t(w) * size_t(h);
  const stbi_uc* px = pixels.get();
  pic.hasAlpha = std::strcmp(format, "PNG") == 0 && (channels == 2 || channels == 4);
  for (size_t i = 0; i < count && !pic.hasAlpha; ++i) pic.hasAlpha = px[4 * i + 3] != 255;
  if (keepAlpha) {
    pic.alpha.resize(count);
    for (size_t i = 0; i < count; ++i) pic.alpha[i] = px[4 * i + 3];
  }
  return pic;
}
