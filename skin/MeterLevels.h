// The level meter's arithmetic: band levels of what is heard, and bars that rise at once and fall
// slowly. No Windows here: tested natively too.
#pragma once
#include <cstdint>
#include <vector>

// About 46 ms at 44,100 Hz: the display frame that ends at the play cursor.
constexpr uint32_t MeterWindowFrames = 2048;
constexpr double MeterLowHz = 40.0;
constexpr double MeterHighHz = 16000.0;
constexpr double MeterRangeDb = 48.0;     // empty at -48 dBFS and below, full at 0 dBFS
constexpr double MeterFallSeconds = 0.6;  // the longest a full bar takes to fall empty

// Splits MeterWindowFrames interleaved stereo frames into `bars` bands on a logarithmic scale from
// MeterLowHz to MeterHighHz, and gives each band's level in dBFS: a full-scale sine reads 0.
class TBandAnalyser {
public:
  TBandAnalyser(uint32_t bars, uint32_t sampleRate);
  // levelsDb gets one value per bar; a silent band reads far below the range.
  void Measure(const int16_t* pcm, std::vector<double>& levelsDb);

private:
  uint32_t bars;
  std::vector<uint32_t> firstBin;  // bar b sums bins [firstBin[b], firstBin[b + 1])
  std::vector<double> window;
  std::vector<double> cosines, sines;
  std::vector<double> real, imaginary;
};

// The lit part of each bar, 0 to 1.
class TMeterBars {
public:
  explicit TMeterBars(uint32_t bars) : lit(bars, 0.0) {}
  // A rise shows at once; a fall goes no faster than the full height in MeterFallSeconds.
  void Update(const std::vector<double>& levelsDb, double seconds);
  // Nothing heard: every bar falls.
  void Fall(double seconds);
  void Darken();
  bool IsDark() const;
  const std::vector<double>& Lit() const { return lit; }

private:
  std::vector<double> lit;
};

// The lit fraction of a bar at this level.
double LitFraction(double levelDb);
