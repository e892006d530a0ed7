#include "ModuleIntegrity.h"

#include <cstring>

#include "common/LittleEndian.h"

namespace {

// Far above what any tracker writes; keeps a lying header from making the walk long.
constexpr uint32_t MaxXmCount = 256;

// Bounds-checked little- and big-endian reads over the file; a read past the end marks it short.
class TReader {
 public:
  TReader(const uint8_t* data, size_t size) : data(data), size(size) {}
  bool Has(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
  uint32_t Le(uint64_t offset, int bytes) {
    if (!Has(offset, bytes)) {
      shortRead = true;
      return 0;
    }
    return ReadLe(data + offset, size_t(bytes));
  }
  uint32_t Be16(uint64_t offset) {
    if (!Has(offset, 2)) {
      shortRead = true;
      return 0;
    }
    return uint32_t(data[offset]) << 8 | data[offset + 1];
  }
  bool Tag(uint64_t offset, const char* tag) const {
    size_t n = std::strlen(tag);
    return Has(offset, n) && std::memcmp(data + offset, tag, n) == 0;
  }
  const uint8_t* data;
  size_t size;
  bool shortRead = false;
};

bool XmComplete(TReader& in) {
  uint32_t version = in.Le(58, 2);
  if (in.shortRead) return false;
  if (version != 0x0104) return true;  // older layouts: left to libopenmpt
  uint64_t pos = 60 + uint64_t(in.Le(60, 4));
  uint32_t patterns = in.Le(70, 2), instruments = in.Le(72, 2);
  if (patterns > MaxXmCount || instruments > MaxXmCount) return false;
  for (uint32_t p = 0; p < patterns && !in.shortRead; ++p) {
    uint32_t headerSize = in.Le(pos, 4);
    pos += headerSize + uint64_t(in.Le(pos + 7, 2));
  }
  for (uint32_t i = 0; i < instruments && !in.shortRead; ++i) {
    uint64_t headerSize = in.Le(pos, 4);
    uint32_t samples = in.Le(pos + 27, 2);
    if (samples > MaxXmCount) return false;
    uint64_t sampleHeaderSize = samples ? in.Le(pos + 29, 4) : 0;
    pos += headerSize;
    uint64_t sampleBytes = 0;
    for (uint32_t s = 0; s < samples && !in.shortRead; ++s) {
      uint64_t header = pos + s * sampleHeaderSize;
      uint64_t length = in.Le(header, 4);
      bool adpcm = in.Le(header + 17, 1) == 0xAD;
      sampleBytes += adpcm ? 16 + (length + 1) / 2 : length;
    }
    pos += samples * sampleHeaderSize + sampleBytes;
  }
  return !in.shortRead && pos <= in.size;
}

int ModChannels(const TReader& in) {
  static const char* const fourChannelTags[] = {"M.K.", "M!K!", "M&K!", "FLT4", "4CHN", "N.T."};
  for (const char* tag : fourChannelTags)
    if (in.Tag(1080, tag)) return 4;
  if (in.Tag(1080, "FLT8") || in.Tag(1080, "CD81") || in.Tag(1080, "OKTA") || in.Tag(1080, "OCTA")) return 8;
  if (!in.Has(1080, 4)) return 0;
  const uint8_t* tag = in.data + 1080;
  auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  if (digit(tag[0]) && std::memcmp(tag + 1, "CHN", 3) == 0) return tag[0] - '0';
  if (digit(tag[0]) && digit(tag[1]) && (std::memcmp(tag + 2, "CH", 2) == 0 || std::memcmp(tag + 2, "CN", 2) == 0))
    return (tag[0] - '0') * 10 + (tag[1] - '0');
  return 0;
}

bool ModComplete(TReader& in, int channels) {
  // Many MODs in the wild miss a few bytes of their last sample; that much is forgiven.
  const uint64_t forgivenSampleBytes = 512;
  uint32_t patterns = 0;
  for (int i = 0; i < 128; ++i) {
    uint32_t order = in.Le(952 + i, 1);
    if (order + 1 > patterns) patterns = order + 1;
  }
  uint64_t sampleBytes = 0;
  for (int s = 0; s < 31; ++s) sampleBytes += 2 * uint64_t(in.Be16(20 + s * 30 + 22));
  uint64_t patternEnd = 1084 + uint64_t(patterns) * 64 * 4 * uint64_t(channels);
  return patternEnd <= in.size && patternEnd + sampleBytes <= in.size + forgivenSampleBytes;
}

bool S3mComplete(TReader& in) {
  uint32_t orders = in.Le(32, 2), instruments = in.Le(34, 2), patterns = in.Le(36, 2);
  uint64_t table = 96 + uint64_t(orders);
  for (uint32_t i = 0; i < instruments && !in.shortRead; ++i) {
    uint64_t offset = uint64_t(in.Le(table + 2 * i, 2)) * 16;
    if (offset == 0) continue;
    if (!in.Has(offset, 80)) return false;
    if (in.Le(offset, 1) != 1) continue;  // not a sample
    uint64_t dataStart = (uint64_t(in.Le(offset + 13, 1)) << 16 | in.Le(offset + 14, 2)) * 16;
    uint32_t flags = in.Le(offset + 31, 1);
    uint64_t length = uint64_t(in.Le(offset + 16, 4)) * (flags & 4 ? 2 : 1) * (flags & 2 ? 2 : 1);
    if (length && !in.Has(dataStart, length)) return false;
  }
  for (uint32_t p = 0; p < patterns && !in.shortRead; ++p) {
    uint64_t offset = uint64_t(in.Le(table + 2 * instruments + 2 * p, 2)) * 16;
    if (offset && !in.Has(offset, in.Le(offset, 2))) return false;
  }
  return !in.shortRead;
}

bool ItComplete(TReader& in) {
  uint32_t orders = in.Le(0x20, 2), instruments = in.Le(0x22, 2), samples = in.Le(0x24, 2),
           patterns = in.Le(0x26, 2);
  uint64_t table = 0xC0 + uint64_t(orders);
  for (uint32_t i = 0; i < instruments && !in.shortRead; ++i)
    if (!in.Has(in.Le(table + 4 * i, 4), 550)) return false;
  table += 4 * uint64_t(instruments);
  for (uint32_t s = 0; s < samples && !in.shortRead; ++s) {
    uint64_t header = in.Le(table + 4 * s, 4);
    if (!in.Has(header, 80)) return false;
    uint32_t flags = in.Le(header + 0x12, 1);
    if (!(flags & 1)) continue;
    uint64_t length = in.Le(header + 0x30, 4), dataStart = in.Le(header + 0x48, 4);
    uint64_t bytes = flags & 8 ? 2 : length * (flags & 2 ? 2 : 1) * (flags & 4 ? 2 : 1);
    if (length && !in.Has(dataStart, bytes)) return false;
  }
  table += 4 * uint64_t(samples);
  for (uint32_t p = 0; p < patterns && !in.shortRead; ++p) {
    uint64_t offset = in.Le(table + 4 * p, 4);
    if (offset && !in.Has(offset, 8 + uint64_t(in.Le(offset, 2)))) return false;
  }
  return !in.shortRead;
}

}  // namespace

bool ModuleDataComplete(const uint8_t* data, size_t size) {
  if (!data) return false;
  TReader in(data, size);
  if (in.Tag(0, "Extended Module: ")) return XmComplete(in);
  if (in.Tag(44, "SCRM")) return S3mComplete(in);
  if (in.Tag(0, "IMPM")) return ItComplete(in);
  if (int channels = ModChannels(in)) return ModComplete(in, channels);
  return true;
}
