// A player whose Render writes a known ramp and counts its calls; nothing else does anything.
#pragma once
#include <atomic>

#include "OrvelPlayer.h"

class TRenderingPlayer : public IOrvelPlayer {
public:
  std::atomic<int> renders{0};

  // Sample i of any render; reaches past full scale at both ends.
  static float Ramp(int i) { return float(i % 2401 - 1200) / 1000.0f; }

  int Render(float* buffer, int frames) override {
    ++renders;
    for (int i = 0; i < 2 * frames; ++i) buffer[i] = Ramp(i);
    return 0;
  }
  int GetVersion() override { return 0; }
  int Init(const TPlayerSettings*) override { return 0; }
  void Shutdown() override {}
  TSongHandle LoadSong(const char*) override { return 0; }
  int32_t GetSongLength(TSongHandle) override { return -1; }
  int FreeSong(TSongHandle) override { return 0; }
  int SelectSong(TSongHandle) override { return 0; }
  int SetState(int) override { return 0; }
  int SetPosition(int) override { return 0; }
  int32_t GetPosition() override { return -1; }
  int SetListener(IPlayerListener*) override { return 0; }
};
