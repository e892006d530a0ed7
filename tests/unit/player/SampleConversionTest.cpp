// The conversion against a direct transcription of its formula, its clamped edges, and a refill.
#include "player/SampleConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <set>
#include <vector>

#include "tests/unit/player/RenderingPlayer.h"

namespace {

bool FailFloatArrays = false;

// The formula as first written, wrap-around included: v in double, truncated toward zero to 64
// bits (0 for a value that is not a number or does not fit), the low 32 bits shifted right
// arithmetically by 8, the low 16 bits of that.
int16_t Formula(float x, uint32_t r) {
  const double v = r + x * 8388480.0 - 128.0;
  int64_t t = 0;
  if (v >= -9223372036854775808.0 && v < 9223372036854775808.0) t = int64_t(v);
  const int32_t low = int32_t(uint32_t(uint64_t(t)));
  return int16_t(uint16_t(uint32_t(low >> 8)));
}

// What the conversion must give: the formula in range, clamped beyond it, 0 for not a number.
int16_t Expected(float x, uint32_t r) {
  if (std::isnan(x)) return 0;
  if (x > 1.0f) return 32767;
  if (x < -1.0f) return -32768;
  return Formula(x, r);
}

struct TReferenceDither {
  uint32_t state = 1;
  uint32_t NextOffset() {
    state = state * 214013u + 2531011u;
    return ((state >> 16) & 0x7FFF) >> 7;
  }
};

const float Infinity = std::numeric_limits<float>::infinity();
const float NotANumber = std::numeric_limits<float>::quiet_NaN();

}  // namespace

// Replaced for the whole program, so that a refill can be shown what no memory does.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (FailFloatArrays) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

TEST(SampleConversion, EdgesForEveryOffset) {
  struct TEdge {
    float x;
    int16_t low, high;  // for offsets below 128 and from 128 on; 0 and 0 for "either"
  };
  const TEdge edges[] = {
      {1.0f, 32767, 32767},     {-1.0f, -32768, -32768},  {0.0f, -1, 0},           {-0.0f, -1, 0},
      {1.0001f, 32767, 32767},  {-1.0001f, -32768, -32768}, {2.0f, 32767, 32767},  {-2.0f, -32768, -32768},
      {1e30f, 32767, 32767},    {-1e30f, -32768, -32768}, {Infinity, 32767, 32767}, {-Infinity, -32768, -32768},
      {NotANumber, 0, 0},       {-NotANumber, 0, 0},
  };
  std::set<int16_t> halves;
  for (uint32_t r = 0; r < 256; ++r) {
    for (const TEdge& edge : edges) {
      EXPECT_EQ(r < 128 ? edge.low : edge.high, ConvertSample(edge.x, r)) << "x " << edge.x << " r " << r;
      if (std::fabs(edge.x) <= 1.0f) {
        EXPECT_EQ(Formula(edge.x, r), ConvertSample(edge.x, r));
      }
    }
    halves.insert(ConvertSample(0.5f, r));
    // The fault that the clamp mends: just past full scale the formula wraps to the other end.
    for (int k = 1; k <= 512; ++k) EXPECT_EQ(32767, ConvertSample(1.0f + k / 8388480.0f, r)) << k << " r " << r;
  }
  EXPECT_EQ((std::set<int16_t>{16383, 16384}), halves);
}

TEST(SampleConversion, GeneratorStartsWithKnownOffsets) {
  TDitherGenerator dither;
  std::vector<uint32_t> offsets;
  for (int i = 0; i < 5; ++i) offsets.push_back(dither.NextValue() >> 7);
  EXPECT_EQ((std::vector<uint32_t>{0, 144, 49, 207, 149}), offsets);
}

// A million samples, mostly in range (tiny ones included, where the order of the additions
// matters), in calls of many lengths, against the formula and a generator of its own.
TEST(SampleConversion, MillionSamplesMatchTheFormula) {
  std::mt19937 random(20240607);
  std::uniform_real_distribution<float> fullRange(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-150, 0), pick(0, 99);
  const float specials[] = {1.0f, -1.0f, 0.0f, 1.5f, -3.0f, Infinity, -Infinity, NotANumber, 1e-45f, -1e-45f};
  const size_t total = 1000000;
  std::vector<float> in(total);
  for (float& x : in) {
    const int kind = pick(random);
    if (kind < 80) {
      x = fullRange(random);
    } else if (kind < 98) {
      x = std::ldexp(fullRange(random), exponent(random));
    } else {
      x = specials[random() % (sizeof specials / sizeof *specials)];
    }
  }

  // Unmixed, through both ways in; then louder and narrower, and quieter and mono. A mixed call
  // takes whole frames.
  const TMix mixes[] = {TMix(), TMix(), TMix{1.7f, 0.5f}, TMix{0.25f, 0.0f}};
  for (int pass = 0; pass < 4; ++pass) {
    const TMix mix = mixes[pass];
    std::vector<int16_t> out(total);
    TDitherGenerator dither;
    const size_t lengths[] = {1, 7, 8, 9, 15, 16, 17, 255, 4096, 88200};
    size_t done = 0;
    for (size_t call = 0; done < total; ++call) {
      size_t length = std::min(lengths[call % (sizeof lengths / sizeof *lengths)], total - done);
      if (pass == 0) {
        ConvertSamples(in.data() + done, out.data() + done, length, dither);
      } else {
        length += length & (pass > 1);
        ConvertMixed(in.data() + done, out.data() + done, length, dither, mix);
      }
      done += length;
    }

    TReferenceDither reference;
    size_t mismatches = 0;
    for (size_t i = 0; i < total; ++i) {
      const uint32_t r = reference.NextOffset();
      const float x = pass > 1 ? MixSample(in[i], in[i ^ 1], mix) : in[i];
      if (out[i] != Expected(x, r) && mismatches++ < 5) {
        ADD_FAILURE() << "sample " << i << ": x " << x << " r " << r << " gave " << out[i] << ", expected "
                      << Expected(x, r);
      }
    }
    EXPECT_EQ(0u, mismatches);
    EXPECT_EQ(reference.state, dither.state);
  }
}

// Mid/side as an author means it: gain in dB, width from the song's and the listener's percents.
TEST(SampleConversion, MixIsMidAndSide) {
  EXPECT_TRUE(MixFor(0.0f, 100.0f, 100).IsNeutral());
  const TMix mix = MixFor(-6.0f, 50.0f, 50);
  EXPECT_NEAR(0.25, mix.width, 1e-7);
  const double gain = std::pow(10.0, -6.0 / 20.0), mid = (0.8 + -0.2) / 2, side = (0.8 - -0.2) / 2 * 0.25;
  EXPECT_NEAR(gain * (mid + side), MixSample(0.8f, -0.2f, mix), 1e-6);
  EXPECT_NEAR(gain * (mid - side), MixSample(-0.2f, 0.8f, mix), 1e-6);
  const TMix mono = MixFor(3.0f, 0.0f, 100);
  EXPECT_EQ(MixSample(0.9f, -0.3f, mono), MixSample(-0.3f, 0.9f, mono));
}

// The volume as the buffer takes it: 50% is -18 dB, nothing is raised, the lowest stop at silence.
TEST(SampleConversion, VolumeIsACubeLawInHundredthsOfADb) {
  const int32_t rows[][2] = {{100, 0}, {150, 0}, {80, -581}, {50, -1806}, {3, -9137}, {2, -10000}, {0, -10000}};
  for (const auto& row : rows) EXPECT_EQ(row[1], BufferVolume(row[0])) << row[0];
}

// A refill converts only while playing and when it has its float array; otherwise the half stays
// silent, the library is not asked, and the generator does not move.
TEST(SampleConversion, RefillOnlyWhilePlayingAndWithMemory) {
  TRenderingPlayer player;
  std::atomic<uint8_t> playing{0};
  const uint32_t frames = 44100;
  std::vector<int16_t> half(2 * frames + 3, 0);
  TDitherGenerator dither;

  RenderPcm(player, playing, half.data(), frames, dither);
  playing = 1;
  FailFloatArrays = true;
  RenderPcm(player, playing, half.data(), frames, dither);
  FailFloatArrays = false;
  RenderPcm(player, playing, nullptr, frames, dither);
  EXPECT_EQ(0, player.renders);
  EXPECT_EQ(1u, dither.state);
  for (int16_t sample : half) ASSERT_EQ(0, sample);

  RenderPcm(player, playing, half.data(), frames, dither);
  EXPECT_EQ(1, player.renders);
  TReferenceDither reference;
  for (uint32_t i = 0; i < 2 * frames; ++i) {
    ASSERT_EQ(Expected(TRenderingPlayer::Ramp(int(i)), reference.NextOffset()), half[i]) << i;
  }
  EXPECT_EQ(reference.state, dither.state);
  EXPECT_EQ(0, half[2 * frames]);
}
