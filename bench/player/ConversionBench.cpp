// One second of stereo as one refill sees it: 88,200 floats converted to 16-bit PCM, plain and with
// a song's gain and width, against a memcpy of the same 176,400 output bytes, in one run. Prints
// the ratio against the budget of 2, and the share of a core the levelled conversion takes while
// a song plays (budget 0.1%).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "player/SampleConversion.h"

namespace {

const size_t Samples = 2 * 44100;

std::vector<float> Song() {
  std::vector<float> samples(Samples);
  for (size_t i = 0; i < Samples; ++i) samples[i] = 0.9f * std::sin(float(i) * 0.0123f);
  return samples;
}

void Conversion(benchmark::State& state) {
  const std::vector<float> in = Song();
  std::vector<int16_t> out(Samples);
  TDitherGenerator dither;
  for (auto _ : state) {
    ConvertSamples(in.data(), out.data(), Samples, dither);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Samples * sizeof(int16_t)));
}

void LevelledConversion(benchmark::State& state) {
  const std::vector<float> in = Song();
  std::vector<int16_t> out(Samples);
  TDitherGenerator dither;
  const TMix mix = MixFor(-4.5f, 50.0f, 50);
  for (auto _ : state) {
    ConvertMixed(in.data(), out.data(), Samples, dither, mix);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Samples * sizeof(int16_t)));
}

void Memcpy(benchmark::State& state) {
  std::vector<int16_t> in(Samples, 1), out(Samples);
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), Samples * sizeof(int16_t));
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Samples * sizeof(int16_t)));
}

BENCHMARK(Conversion);
BENCHMARK(LevelledConversion);
BENCHMARK(Memcpy);

class TRatioReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> cpuTimes;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double conversion = reporter.cpuTimes["Conversion"], copy = reporter.cpuTimes["Memcpy"];
  if (conversion > 0 && copy > 0) {
    const double ratio = conversion / copy;
    std::printf("conversion / memcpy: %.1f (budget 2: %s)\n", ratio, ratio <= 2.0 ? "met" : "MISSED");
  }
  // Each iteration is one second of sound; CPU times are in nanoseconds.
  const double share = reporter.cpuTimes["LevelledConversion"] / 1e9 * 100;
  if (share > 0) std::printf("levelled conversion: %.4f%% of a core (budget 0.1%%: %s)\n", share, share < 0.1 ? "met" : "MISSED");
  return 0;
}
