// The library's float samples as dithered 16-bit PCM. No Windows here: tested natively too.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

class IOrvelPlayer;

// 32-bit linear congruential generator: state := state * Multiplier + Increment, each value the
// bits of the new state under ValueMask once shifted down by ValueShift. The player keeps one for
// the whole run, starting from state 1, and never reseeds it.
struct TDitherGenerator {
  static constexpr uint32_t Multiplier = 214013u;
  static constexpr uint32_t Increment = 2531011u;
  static constexpr int ValueShift = 16;
  static constexpr uint32_t ValueMask = 0x7FFF;
  uint32_t state = 1;

  uint32_t NextValue() {
    state = state * Multiplier + Increment;
    return (state >> ValueShift) & ValueMask;
  }
};

// A generator value shifted down by this gives a dither offset (0 to 255).
constexpr int DitherOffsetShift = 7;

// One sample: x at full scale +-1.0 with the dither offset r (0 to 255). Samples beyond full scale
// clamp to -32768 and 32767 rather than wrap around; a value that is not a number gives 0.
int16_t ConvertSample(float x, uint32_t r);

// Converts count samples in order, one generator step per sample (offset = value >> DitherOffsetShift). Gives
// exactly what ConvertSample gives sample by sample.
void ConvertSamples(const float* in, int16_t* out, size_t count, TDitherGenerator& dither);

// One refill of `frames` stereo frames into out (the stream hands it over zero-filled): while
// `playing` is set, the player renders them as floats and they are converted. Otherwise, and
// when the float array cannot be had, out keeps its silence and the generator does not move.
void RenderPcm(IOrvelPlayer& player, const std::atomic<uint8_t>& playing, int16_t* out, uint32_t frames,
               TDitherGenerator& dither);
