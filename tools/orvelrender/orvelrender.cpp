// orvelrender SONG OUT.wav [--seconds N] [--float]
// Renders a song through OrvelPlayer.dll, driving it as the music disk does, and writes a WAV file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "OrvelPlayer.h"
#include "common/FileCloser.h"

namespace {

constexpr int OutputRate = 44100;
constexpr int BlockFrames = 44100;
constexpr long MaxSecondsWithoutEnd = 3600;

struct TEndListener : IPlayerListener {
  int ends = 0;
  void Notify(int event, int) override {
    if (event == OrvelEventSongEnded) ++ends;
  }
};

void Put16(std::string& out, uint32_t v) { out.append({char(v & 0xFF), char(v >> 8 & 0xFF)}); }
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool WriteWav(const char* path, const std::vector<float>& samples, bool asFloat) {
  const uint32_t bytesPerSample = asFloat ? 4 : 2;
  const uint32_t dataBytes = uint32_t(samples.size()) * bytesPerSample;
  std::string header = "RIFF";
  Put32(header, (asFloat ? 50 : 36) + dataBytes);
  header += "WAVEfmt ";
  Put32(header, asFloat ? 18 : 16);
  Put16(header, asFloat ? 3 : 1);
  Put16(header, 2);
  Put32(header, OutputRate);
  Put32(header, OutputRate * 2 * bytesPerSample);
  Put16(header, 2 * bytesPerSample);
  Put16(header, bytesPerSample * 8);
  if (asFloat) {
    Put16(header, 0);
    header += "fact";
    Put32(header, 4);
    Put32(header, uint32_t(samples.size() / 2));
  }
  header += "data";
  Put32(header, dataBytes);

  std::string data;
  data.reserve(dataBytes);
  for (float x : samples) {
    if (asFloat) {
      uint32_t bits;
      std::memcpy(&bits, &x, sizeof bits);
      Put32(data, bits);
    } else {
      long v = std::lround(std::max(-1.0f, std::min(1.0f, x)) * 32767.0f);
      Put16(data, uint32_t(v) & 0xFFFF);
    }
  }
  TStdioFile file(std::fopen(path, "wb"));
  return file && std::fwrite(header.data(), 1, header.size(), file.get()) == header.size() &&
         std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
}

int Usage() {
  std::fprintf(stderr, "usage: orvelrender SONG OUT.wav [--seconds N] [--float]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* song = nullptr;
  const char* out = nullptr;
  long maxSeconds = 0;
  bool asFloat = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--float") == 0) {
      asFloat = true;
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      char* end = nullptr;
      maxSeconds = std::strtol(argv[++i], &end, 10);
      if (*end || maxSeconds <= 0 || maxSeconds > MaxSecondsWithoutEnd) return Usage();
    } else if (!song) {
      song = argv[i];
    } else if (!out) {
      out = argv[i];
    } else {
      return Usage();
    }
  }
  if (!song || !out) return Usage();

  IOrvelPlayer* player = IOrvelPlayer::GetOrvelPlayer();
  TPlayerSettings settings = {4, 0, OutputRate, 0};
  if (player->Init(&settings) != 0) {
    std::fprintf(stderr, "orvelrender: the player library did not start\n");
    return 1;
  }
  TEndListener listener;
  player->SetListener(&listener);
  TSongHandle handle = player->LoadSong(song);
  if (handle == 0) {
    std::fprintf(stderr, "orvelrender: %s is not a song the player can load\n", song);
    player->Shutdown();
    return 1;
  }
  player->SelectSong(handle);
  player->SetPosition(0);
  player->SetState(OrvelStatePlay);

  const size_t limit = size_t(maxSeconds ? maxSeconds : MaxSecondsWithoutEnd) * OutputRate;
  std::vector<float> samples;
  std::vector<float> block(2 * BlockFrames);
  while (listener.ends == 0 && samples.size() / 2 < limit) {
    player->Render(block.data(), BlockFrames);
    const size_t frames = std::min(size_t(BlockFrames), limit - samples.size() / 2);
    samples.insert(samples.end(), block.begin(), block.begin() + 2 * frames);
  }
  const int32_t songFrames = listener.ends ? player->GetPosition() : -1;
  if (songFrames >= 0) samples.resize(std::min(samples.size(), 2 * size_t(songFrames)));
  player->FreeSong(handle);
  player->Shutdown();

  if (songFrames >= 0)
    std::printf("%s: %.2f s (%ld frames)\n", song, double(songFrames) / OutputRate, long(songFrames));
  else
    std::printf("%s: longer than %.2f s\n", song, double(samples.size() / 2) / OutputRate);
  if (!WriteWav(out, samples, asFloat)) {
    std::fprintf(stderr, "orvelrender: cannot write %s\n", out);
    return 1;
  }
  return 0;
}
