#include "skin/MeterLevels.h"

#include <algorithm>
#include <cmath>

namespace {
const double Pi = 3.14159265358979323846;
// A full-scale sine through the Hann window puts 3/32 N^2 of power into its bins.
const double FullScalePower = 3.0 / 32.0 * double(MeterWindowFrames) * double(MeterWindowFrames);
const double SilentDb = -200.0;

uint32_t ReverseBits(uint32_t value, uint32_t bits) {
  uint32_t reversed = 0;
  for (uint32_t i = 0; i < bits; ++i, value >>= 1) reversed = (reversed << 1) | (value & 1);
  return reversed;
}
}  // namespace

TBandAnalyser::TBandAnalyser(uint32_t bars, uint32_t sampleRate)
    : bars(bars), firstBin(bars + 1), window(MeterWindowFrames), cosines(MeterWindowFrames / 2),
      sines(MeterWindowFrames / 2), real(MeterWindowFrames), imaginary(MeterWindowFrames) {
  const uint32_t n = MeterWindowFrames;
  for (uint32_t i = 0; i < n; ++i) window[i] = 0.5 - 0.5 * std::cos(2 * Pi * i / n);
  for (uint32_t i = 0; i < n / 2; ++i) {
    cosines[i] = std::cos(2 * Pi * i / n);
    sines[i] = -std::sin(2 * Pi * i / n);
  }
  // Each bar gets at least one bin of its own, so that narrow low bands still show.
  const double binHz = double(std::max(sampleRate, 1u)) / n;
  for (uint32_t b = 0; b <= bars; ++b) {
    const double edgeHz = MeterLowHz * std::exp2(std::log2(MeterHighHz / MeterLowHz) * b / std::max(bars, 1u));
    const uint32_t edge = std::min(uint32_t(std::ceil(edgeHz / binHz)), n / 2);
    firstBin[b] = b == 0 ? edge : std::max(edge, std::min(firstBin[b - 1] + 1, n / 2));
  }
}

void TBandAnalyser::Measure(const int16_t* pcm, std::vector<double>& levelsDb) {
  const uint32_t n = MeterWindowFrames, bits = 11;
  static_assert(MeterWindowFrames == 1u << 11, "the window is a power of two");
  for (uint32_t i = 0; i < n; ++i) {
    const double mono = (double(pcm[2 * i]) + double(pcm[2 * i + 1])) / 65536.0;
    const uint32_t j = ReverseBits(i, bits);
    real[j] = mono * window[i];
    imaginary[j] = 0;
  }
  for (uint32_t size = 2; size <= n; size *= 2) {
    const uint32_t half = size / 2, step = n / size;
    for (uint32_t start = 0; start < n; start += size) {
      for (uint32_t k = 0; k < half; ++k) {
        const double c = cosines[k * step], s = sines[k * step];
        const uint32_t a = start + k, b = a + half;
        const double tr = real[b] * c - imaginary[b] * s, ti = real[b] * s + imaginary[b] * c;
        real[b] = real[a] - tr;
        imaginary[b] = imaginary[a] - ti;
        real[a] += tr;
        imaginary[a] += ti;
      }
    }
  }
  levelsDb.assign(bars, SilentDb);
  for (uint32_t b = 0; b < bars; ++b) {
    double power = 0;
    for (uint32_t k = firstBin[b]; k < firstBin[b + 1]; ++k) power += real[k] * real[k] + imaginary[k] * imaginary[k];
    if (power > 0) levelsDb[b] = std::max(SilentDb, 10.0 * std::log10(power / FullScalePower));
  }
}

double LitFraction(double levelDb) { return std::min(1.0, std::max(0.0, (levelDb + MeterRangeDb) / MeterRangeDb)); }

void TMeterBars::Update(const std::vector<double>& levelsDb, double seconds) {
  const double fall = std::max(0.0, seconds) / MeterFallSeconds;
  for (size_t b = 0; b < lit.size(); ++b) {
    const double level = b < levelsDb.size() ? LitFraction(levelsDb[b]) : 0.0;
    lit[b] = std::max(level, lit[b] - fall);
  }
}

void TMeterBars::Fall(double seconds) { Update(std::vector<double>(), seconds); }

void TMeterBars::Darken() { std::fill(lit.begin(), lit.end(), 0.0); }

bool TMeterBars::IsDark() const {
  return std::all_of(lit.begin(), lit.end(), [](double v) { return v <= 0.0; });
}
