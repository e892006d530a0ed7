// orvel_bench [MODULE]: renders a module to its end through the player and through libopenmpt
// directly, in the program's one-second blocks, and prints the time of each and their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <libopenmpt/libopenmpt.hpp>

#include "OrvelPlayer.h"

namespace {

constexpr int Rate = 44100;
constexpr int Block = 44100;
constexpr int Rounds = 15;

struct TEnd : IPlayerListener {
  bool ended = false;
  void Notify(int, int) override { ended = true; }
};

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ThroughPlayer(const char* path, size_t& frames) {
  IOrvelPlayer* player = IOrvelPlayer::GetOrvelPlayer();
  TPlayerSettings settings = {4, 0, Rate, 0};
  player->Init(&settings);
  TEnd end;
  player->SetListener(&end);
  TSongHandle song = player->LoadSong(path);
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

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "first-light.xm";
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
  return frames[0] == frames[1] ? 0 : 1;
}
