#include "player/SampleConversion.h"

#include <cmath>
#include <memory>
#include <new>

#include "OrvelPlayer.h"

// SSE2 is part of every x86-64 processor; elsewhere the plain loop serves.
#if defined(__SSE2__) || defined(_M_X64)
#define MD_CONVERT_SSE2 1
#include <emmintrin.h>
#else
#define MD_CONVERT_SSE2 0
#endif

namespace {

const uint32_t Multiplier = TDitherGenerator::Multiplier;
const uint32_t Increment = TDitherGenerator::Increment;
// A state's dither offset: the bits of its value from DitherOffsetShift up.
const int OffsetShift = TDitherGenerator::ValueShift + DitherOffsetShift;
const uint32_t OffsetMask = TDitherGenerator::ValueMask >> DitherOffsetShift;
// 32767.5 * 256: full scale lands on -32768 and 32767 for every offset, and the offset spans one
// output step.
const double FullScale = 8388480.0;

// The block path runs eight generators side by side, each one step ahead of the previous, and
// steps each of them eight at a time.
const int Lanes = 8;

struct TLeap {
  uint32_t multiplier;
  uint32_t increment;
};

// n steps of the generator as one: state * multiplier + increment.
constexpr TLeap Leap(int n) {
  TLeap leap = {1u, 0u};
  for (int i = 0; i < n; ++i) {
    leap.multiplier *= Multiplier;
    leap.increment = leap.increment * Multiplier + Increment;
  }
  return leap;
}

constexpr TLeap LaneLeap = Leap(Lanes);

// The multiplier is odd, so a step can be undone: its inverse modulo 2^32 by Newton's iteration.
constexpr uint32_t Inverse(uint32_t a) {
  uint32_t x = a;
  for (int i = 0; i < 5; ++i) x *= 2u - a * x;
  return x;
}

inline uint32_t StepBack(uint32_t state) { return (state - Increment) * Inverse(Multiplier); }

inline uint32_t Offset(uint32_t state) { return (state >> OffsetShift) & OffsetMask; }

// In double precision every step is exact for samples in range, and the additions keep their
// order, so tiny samples round as they always have. Clamping x clamps the output: the result is
// monotonic in x and reaches -32768 and 32767 at -1.0 and 1.0.
inline int16_t Convert(float x, uint32_t r) {
  const bool isNumber = x == x;
  const float clamped = x < -1.0f ? -1.0f : (x > 1.0f ? 1.0f : x);
  double v = double(r) + double(clamped) * FullScale - 128.0;
  v = isNumber ? v : 0.0;
  const int32_t t = int32_t(v);  // toward zero
  return int16_t(t >> 8);        // toward minus infinity
}

#if MD_CONVERT_SSE2
// Four samples: the same steps as Convert, two lanes of doubles at a time.
inline __m128i ConvertFour(__m128 x, __m128i r) {
  const __m128i isNumber = _mm_castps_si128(_mm_cmpord_ps(x, x));
  const __m128 clamped = _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(-1.0f)), _mm_set1_ps(1.0f));
  const __m128d scale = _mm_set1_pd(FullScale), bias = _mm_set1_pd(128.0);
  const __m128d low = _mm_sub_pd(
      _mm_add_pd(_mm_cvtepi32_pd(r), _mm_mul_pd(_mm_cvtps_pd(clamped), scale)), bias);
  const __m128d high = _mm_sub_pd(
      _mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(r, _MM_SHUFFLE(1, 0, 3, 2))),
                 _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(clamped, clamped)), scale)),
      bias);
  const __m128i t = _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
  return _mm_and_si128(_mm_srai_epi32(t, 8), isNumber);
}

// The low 32 bits of each lane's product with the same factor in every lane (SSE2 multiplies only
// the even lanes).
inline __m128i MultiplyLow(__m128i a, __m128i factor) {
  const __m128i even = _mm_mul_epu32(a, factor);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), factor);
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// Leaves the floats as the library rendered them.
struct TUnmixed {
  __m128 operator()(__m128 x) const { return x; }
};

// Two frames at a time: each sample beside its partner in the frame, in the order MixSample uses.
struct TMixer {
  __m128 half, halfWidth;
  explicit TMixer(TMix mix)
      : half(_mm_set1_ps(0.5f * mix.gain)), halfWidth(_mm_set1_ps(0.5f * mix.gain * mix.width)) {}
  __m128 operator()(__m128 x) const {
    const __m128 partner = _mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_add_ps(_mm_mul_ps(half, _mm_add_ps(x, partner)), _mm_mul_ps(halfWidth, _mm_sub_ps(x, partner)));
  }
};

// Whole blocks of eight samples; returns how many were converted.
template <class TMixFloats>
size_t ConvertBlocks(const float* in, int16_t* out, size_t count, TDitherGenerator& dither, TMixFloats mixFloats) {
  if (count < size_t(Lanes)) return 0;
  uint32_t first[Lanes];
  TDitherGenerator ahead = dither;
  for (uint32_t& state : first) {
    ahead.NextValue();
    state = ahead.state;
  }
  __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
  __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 4));
  const __m128i multiplier = _mm_set1_epi32(int32_t(LaneLeap.multiplier));
  const __m128i increment = _mm_set1_epi32(int32_t(LaneLeap.increment));
  const __m128i mask = _mm_set1_epi32(int32_t(OffsetMask));
  size_t i = 0;
  for (; i + Lanes <= count; i += Lanes) {
    const __m128i r0 = _mm_and_si128(_mm_srli_epi32(low, OffsetShift), mask);
    const __m128i r1 = _mm_and_si128(_mm_srli_epi32(high, OffsetShift), mask);
    const __m128i s0 = ConvertFour(mixFloats(_mm_loadu_ps(in + i)), r0);
    const __m128i s1 = ConvertFour(mixFloats(_mm_loadu_ps(in + i + 4)), r1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(s0, s1));
    low = _mm_add_epi32(MultiplyLow(low, multiplier), increment);
    high = _mm_add_epi32(MultiplyLow(high, multiplier), increment);
  }
  dither.state = StepBack(uint32_t(_mm_cvtsi128_si32(low)));
  return i;
}

size_t ConvertUnmixedBlocks(const float* in, int16_t* out, size_t count, TDitherGenerator& dither) {
  return ConvertBlocks(in, out, count, dither, TUnmixed());
}
size_t ConvertMixedBlocks(const float* in, int16_t* out, size_t count, TDitherGenerator& dither, TMix mix) {
  return ConvertBlocks(in, out, count, dither, TMixer(mix));
}
#else
size_t ConvertUnmixedBlocks(const float*, int16_t*, size_t, TDitherGenerator&) { return 0; }
size_t ConvertMixedBlocks(const float*, int16_t*, size_t, TDitherGenerator&, TMix) { return 0; }
#endif

}  // namespace

int16_t ConvertSample(float x, uint32_t r) { return Convert(x, r); }

void ConvertSamples(const float* in, int16_t* out, size_t count, TDitherGenerator& dither) {
  for (size_t i = ConvertUnmixedBlocks(in, out, count, dither); i < count; ++i) {
    dither.NextValue();
    out[i] = Convert(in[i], Offset(dither.state));
  }
}

TMix MixFor(float gainDb, float separation, int listenerWidth) {
  TMix mix;
  // 10^(dB/20) through exp2, which the program links anyway: pow would add 2 KiB to it.
  const double Log2Of10 = 3.321928094887362;
  if (gainDb != 0.0f) mix.gain = float(std::exp2(double(gainDb) * Log2Of10 / 20.0));
  mix.width = separation / 100.0f * float(listenerWidth) / 100.0f;
  return mix;
}

int32_t BufferVolume(int percent) {
  if (percent >= 100) return 0;
  if (percent <= 0) return BufferVolumeSilent;
  // 2000 log10(g^3) through log2, beside the gain's exp2. The lowest few percent would pass the
  // buffer's floor.
  const double hundredths = 6000.0 / 3.321928094887362 * std::log2(percent / 100.0);
  return hundredths <= BufferVolumeSilent ? BufferVolumeSilent : int32_t(hundredths - 0.5);
}

float MixSample(float x, float y, TMix mix) {
  const float half = 0.5f * mix.gain, halfWidth = 0.5f * mix.gain * mix.width;
  return half * (x + y) + halfWidth * (x - y);
}

void ConvertMixed(const float* in, int16_t* out, size_t count, TDitherGenerator& dither, TMix mix) {
  if (mix.IsNeutral()) return ConvertSamples(in, out, count, dither);
  for (size_t i = ConvertMixedBlocks(in, out, count, dither, mix); i < count; ++i) {
    // Blocks end on a frame's edge; a lone last sample is its own partner.
    const float partner = (i ^ 1) < count ? in[i ^ 1] : in[i];
    dither.NextValue();
    out[i] = Convert(MixSample(in[i], partner, mix), Offset(dither.state));
  }
}

void RenderPcm(IOrvelPlayer& player, const std::atomic<uint8_t>& playing, int16_t* out, uint32_t frames,
               TDitherGenerator& dither, TMix mix) {
  if (!playing || !out) return;
  const size_t count = size_t(frames) * 2;
  std::unique_ptr<float[]> samples(new (std::nothrow) float[count]);
  if (!samples) return;
  player.Render(samples.get(), int(frames));
  ConvertMixed(samples.get(), out, count, dither, mix);
}
