// The known 16-bit pattern the recording tests play: one sample stream (left, right, left, ...)
// from a 32-bit LCG, kept inside +-30000 so that no mixer clips it. analyse.py makes the same.
#pragma once
#include <cstddef>
#include <cstdint>

struct TTestPattern {
  uint32_t state = 1;

  int16_t Next() {
    state = state * 1103515245u + 12345u;
    return static_cast<int16_t>(static_cast<int32_t>((state >> 16) % 60001u) - 30000);
  }
  void Fill(int16_t* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) samples[i] = Next();
  }
};
