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

// A song's loudness and stereo width, applied to each frame's floats just before they are
// converted: mid = (L + R) / 2 and side = (L - R) / 2 x width, both x gain.
struct TMix {
  float gain = 1.0f;   // linear
  float width = 1.0f;  // 0 mono, 1 as rendered, up to 2
  bool IsNeutral() const { return gain == 1.0f && width == 1.0f; }
};

// The song's gain in dB and separation in percent, narrowed further by the listener's width in
// percent.
TMix MixFor(float gainDb, float separation, int listenerWidth);

// The listener's volume in percent (0 to 100) as the sound buffer's own attenuation, in hundredths
// of a dB: a cube law, gain (percent / 100)^3, so 50% is -18 dB. 0 at 100, never above, and
// BufferVolumeSilent at 0.
constexpr int32_t BufferVolumeSilent = -10000;
int32_t BufferVolume(int percent);

// ConvertSamples over interleaved stereo with the mix applied first. A neutral mix converts
// exactly as ConvertSamples does; otherwise the result is ConvertSample of each mixed float.
void ConvertMixed(const float* in, int16_t* out, size_t count, TDitherGenerator& dither, TMix mix);
// The mixed float of a frame's sample x whose partner in the frame is y.
float MixSample(float x, float y, TMix mix);

// One refill of `frames` stereo frames into out (the stream hands it over zero-filled): while
// `playing` is set, the player renders them as floats and they are converted. Otherwise, and
// when the float array cannot be had, out keeps its silence and the generator does not move.
void RenderPcm(IOrvelPlayer& player, const std::atomic<uint8_t>& playing, int16_t* out, uint32_t frames,
               TDitherGenerator& dither, TMix mix = TMix());
