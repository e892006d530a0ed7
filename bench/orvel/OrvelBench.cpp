// orvel_bench [MODULE]: renders a module to its end through the player and through libopenmpt
// directly, in the program's one-second blocks, and prints the time of each and their ratio.
// Then a ProTracker module through the player with each resampler an author may choose beside
// none, and the cost of one seek to 90% of MODULE. MODULE is the demo's first-light.xm by default.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <libopenmpt/libopenmpt.hpp>

#include "OrvelPlayer.h"
#include "tests/unit/orvel/TestSongFiles.h"

namespace {

constexpr int Rate = 44100;
constexpr int Block = 44100;
constexpr int Rounds = 15;

struct TEnd : IPlayerListener {
  bool ended = false;
  void Notify(int, int) override { ended = true; }
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ThroughPlayer(const char* path, size_t& frames, int resampler = OrvelResamplerDefault) {
  IOrvelPlayer* player = IOrvelPlayer::GetOrvelPlayer();
  TPlayerSettings settings = {4, 0, Rate, 0};
  player->Init(&settings);
  TEnd end;
  player->SetListener(&end);
  TSongHandle song = resampler ? player->LoadSongResampled(path, resampler) : player->LoadSong(path);
  player->SelectSong(song);
  player->SetPosition(0);
  player->SetState(OrvelStatePlay);
  std::vector<float> buffer(2 * Block);
  auto start = std::chrono::steady_clock::now();
  while (!end.ended) player->Render(buffer.data(), Block);
  double elapsed = Seconds(std::chrono::steady_clock::now() - start);
  frames = size_t(player->GetPosition());
  player->Shutdown();
  return elapsed;
}

double Direct(const std::vector<uint8_t>& bytes, size_t& frames) {
  std::ostream silent(nullptr);
  openmpt::module module(bytes, silent);
  module.set_repeat_count(0);
  module.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 4);
  std::vector<float> buffer(2 * Block);
  frames = 0;
  auto start = std::chrono::steady_clock::now();
  for (;;) {
    size_t got = module.read_interleaved_stereo(Rate, Block, buffer.data());
    frames += got;
    if (got < size_t(Block)) break;
  }
  return Seconds(std::chrono::steady_clock::now() - start);
}

}  // namespace

// Without a choice, and with each of those that cost most beside the program's own filter.
void ResamplerCosts(const char* modPath) {
  const struct {
    const char* name;
    int resampler;
  } choices[] = {{"none given", OrvelResamplerDefault}, {"cubic", OrvelResamplerCubic}, {"sinc", OrvelResamplerSinc},
                 {"a500", OrvelResamplerA500}};
  double best[4] = {1e9, 1e9, 1e9, 1e9};
  size_t frames = 0;
  for (int round = 0; round < 4 * Rounds; ++round)  // each first as often as the others
    for (int k = 0; k < 4; ++k) {
      const int i = (round + k) % 4;
      best[i] = std::min(best[i], ThroughPlayer(modPath, frames, choices[i].resampler));
    }
  std::printf("%s: %.1f s of music\n", modPath, double(frames) / Rate);
  for (int i = 0; i < 4; ++i)
    std::printf("  %-10s %.4f s   %.3f x cubic (best of %d)\n", choices[i].name, best[i], best[i] / best[1], 4 * Rounds);
}

// SetPosition to 90% of the module from near its start, as the window thread calls it.
void SeekCost(const char* path) {
  IOrvelPlayer* player = IOrvelPlayer::GetOrvelPlayer();
  TPlayerSettings settings = {4, 0, Rate, 0};
  player->Init(&settings);
  TSongHandle song = player->LoadSong(path);
  player->SelectSong(song);
  player->SetState(OrvelStatePlay);
  const int32_t target = int32_t(player->GetSongLength(song) * 0.9);
  std::vector<double> times;
  std::vector<float> buffer(2 * 1024);
  for (int round = 0; round < 50; ++round) {
    player->SetPosition(Rate);
    player->Render(buffer.data(), 1024);
    auto start = std::chrono::steady_clock::now();
    player->SetPosition(target);
    times.push_back(Seconds(std::chrono::steady_clock::now() - start) * 1000);
  }
  std::sort(times.begin(), times.end());
  std::printf("one seek to %.1f s (90%%) of %s: median %.2f ms, largest %.2f ms (of %zu), landed at %.2f s\n",
              double(target) / Rate, path, times[times.size() / 2], times.back(), times.size(),
              double(player->GetPosition()) / Rate);
  player->Shutdown();
}

int main(int argc, char** argv) {
  const std::string demo = DemoSong("first-light.xm");
  const char* path = argc > 1 ? argv[1] : demo.c_str();
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  if (bytes.empty()) {
    std::fprintf(stderr, "orvel_bench: cannot read %s\n", path);
    return 1;
  }
  double best[2] = {1e9, 1e9};
  size_t frames[2] = {0, 0};
  for (int round = 0; round < Rounds; ++round) {  // alternating, so that drift hits both alike
    best[0] = std::min(best[0], ThroughPlayer(path, frames[0]));
    best[1] = std::min(best[1], Direct(bytes, frames[1]));
  }
  std::printf("%s: %lu frames (%.1f s of music)\n", path, static_cast<unsigned long>(frames[1]),
              double(frames[1]) / Rate);
  std::printf("through the player: %.4f s   libopenmpt directly: %.4f s   ratio %.3f (best of %d)\n",
              best[0], best[1], best[0] / best[1], Rounds);
  const std::string mod = "orvel_bench.mod";
  const std::vector<uint8_t> modBytes = MakeMod(8);
  std::ofstream(mod, std::ios::binary)
      .write(reinterpret_cast<const char*>(modBytes.data()), std::streamsize(modBytes.size()));
  ResamplerCosts(mod.c_str());
  SeekCost(path);
  return frames[0] == frames[1] ? 0 : 1;
}
