// Little-endian integers in byte buffers, whatever the host's byte order or alignment.
// Portable and header-only: the archive, the tools and the player library all read through it.
#pragma once
#include <cstddef>
#include <cstdint>

// The first `bytes` (at most 4) bytes at p as an unsigned value.
inline uint32_t ReadLe(const uint8_t* p, size_t bytes) {
  uint32_t value = 0;
  while (bytes-- > 0) value = value << 8 | p[bytes];
  return value;
}

inline uint16_t ReadLe16(const uint8_t* p) { return uint16_t(ReadLe(p, 2)); }
inline uint32_t ReadLe32(const uint8_t* p) { return ReadLe(p, 4); }
inline uint64_t ReadLe64(const uint8_t* p) { return uint64_t(ReadLe32(p)) | uint64_t(ReadLe32(p + 4)) << 32; }

inline void WriteLe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}
