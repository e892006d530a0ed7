#include "WavReader.h"

#include <cmath>
#include <cstring>

#include "common/LittleEndian.h"

namespace {

constexpr uint16_t FormatPcm = 1;
constexpr uint16_t FormatFloat = 3;
constexpr uint16_t FormatExtensible = 0xFFFE;
constexpr int MinSampleRate = 1000;
constexpr int MaxSampleRate = 768000;

bool ParseFormat(const uint8_t* fmt, uint32_t size, TWavInfo& info) {
  if (size < 16) return false;
  uint16_t tag = ReadLe16(fmt);
  if (tag == FormatExtensible) {
    if (size < 40) return false;
    tag = ReadLe16(fmt + 24);  // first two bytes of the sub-format GUID
  }
  info.channels = ReadLe16(fmt + 2);
  uint32_t rate = ReadLe32(fmt + 4);
  uint16_t blockAlign = ReadLe16(fmt + 12);
  info.bitsPerSample = ReadLe16(fmt + 14);
  if (tag == FormatPcm) {
    info.encoding = TWavEncoding::Pcm;
    if (info.bitsPerSample != 8 && info.bitsPerSample != 16 && info.bitsPerSample != 24 &&
        info.bitsPerSample != 32)
      return false;
  } else if (tag == FormatFloat) {
    info.encoding = TWavEncoding::Float;
    if (info.bitsPerSample != 32 && info.bitsPerSample != 64) return false;
  } else {
    return false;
  }
  if (info.channels != 1 && info.channels != 2) return false;
  if (rate < MinSampleRate || rate > MaxSampleRate) return false;
  info.sampleRate = int(rate);
  return blockAlign == info.channels * info.bitsPerSample / 8;
}

float DecodeSample(const uint8_t* p, const TWavInfo& info) {
  if (info.encoding == TWavEncoding::Float) {
    double v;
    if (info.bitsPerSample == 32) {
      uint32_t bits = ReadLe32(p);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      v = f;
    } else {
      uint64_t bits = ReadLe64(p);
      std::memcpy(&v, &bits, sizeof v);
    }
    return std::isfinite(v) ? float(v) : 0.0f;
  }
  switch (info.bitsPerSample) {
    case 8: return (int(p[0]) - 128) * (1.0f / 128);
    case 16: return int16_t(ReadLe16(p)) * (1.0f / 32768);
    case 24: return int32_t(ReadLe(p, 3) << 8) * (1.0f / 2147483648.0f);
    default: return float(int32_t(ReadLe32(p)) * (1.0 / 2147483648.0));
  }
}

}  // namespace

bool ParseWav(const uint8_t* data, size_t size, TWavInfo& info) {
  info = TWavInfo();
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return false;
  bool haveFormat = false;
  size_t pos = 12;
  while (size - pos >= 8) {
    const uint8_t* chunk = data + pos;
    uint32_t chunkSize = ReadLe32(chunk + 4);
    size_t available = size - pos - 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (chunkSize > available || !ParseFormat(chunk + 8, chunkSize, info)) return false;
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat || chunkSize > available) return false;
      size_t frameBytes = size_t(info.channels) * size_t(info.bitsPerSample / 8);
      info.frameCount = chunkSize / frameBytes;
      info.frames = chunk + 8;
      return info.frameCount > 0;
    }
    if (chunkSize > available) return false;
    pos += 8 + size_t(chunkSize) + (chunkSize & 1);
    if (pos > size) return false;
  }
  return false;
}

void DecodeWavFrames(const TWavInfo& info, float* out) {
  const size_t sampleBytes = size_t(info.bitsPerSample / 8);
  const uint8_t* p = info.frames;
  for (size_t i = 0; i < info.frameCount; ++i) {
    float left = DecodeSample(p, info);
    p += sampleBytes;
    float right = left;
    if (info.channels == 2) {
      right = DecodeSample(p, info);
      p += sampleBytes;
    }
    out[2 * i] = left;
    out[2 * i + 1] = right;
  }
}

std::vector<float> DecodeWavFrames(const TWavInfo& info) {
  std::vector<float> out(info.frameCount * 2);
  DecodeWavFrames(info, out.data());
  return out;
}
