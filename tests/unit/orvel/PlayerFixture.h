// A fresh, initialised player per test, with a listener that records every event.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "OrvelPlayer.h"
#include "TestSongFiles.h"
#include "../../support/TempFolder.h"

struct TRecordingListener : IPlayerListener {
  std::vector<std::pair<int, int>> events;
  void Notify(int event, int param) override { events.emplace_back(event, param); }
};

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    player = IOrvelPlayer::GetOrvelPlayer();
    ASSERT_NE(nullptr, player);
    ASSERT_EQ(0, player->Init(&settings));
    player->SetListener(&listener);
  }
  void TearDown() override { player->Shutdown(); }

  std::string SongFile(const std::string& name, const std::vector<uint8_t>& bytes) { return folder.Write(name, bytes); }

  TSongHandle LoadAndPlay(const std::string& path) {
    TSongHandle song = player->LoadSong(path.c_str());
    EXPECT_NE(0u, song) << path;
    if (song) {
      player->SelectSong(song);
      player->SetPosition(0);
      player->SetState(OrvelStatePlay);
    }
    return song;
  }

  std::vector<float> Render(int frames) {
    std::vector<float> out(2 * size_t(frames), 0.25f);  // not silence, so that silence is written
    player->Render(out.data(), frames);
    return out;
  }

  // Blocks until the end event (or maxBlocks), concatenated.
  std::vector<float> RenderToEnd(int blockFrames, int maxBlocks = 1000) {
    std::vector<float> all;
    size_t endsBefore = listener.events.size();
    for (int i = 0; i < maxBlocks && listener.events.size() == endsBefore; ++i) {
      std::vector<float> block = Render(blockFrames);
      all.insert(all.end(), block.begin(), block.end());
    }
    return all;
  }

  IOrvelPlayer* player = nullptr;
  TRecordingListener listener;
  TPlayerSettings settings = {4, 0, 44100, 0};
  TTempFolder folder;
};

inline bool AllZero(const std::vector<float>& samples, size_t from = 0) {
  return std::all_of(samples.begin() + std::ptrdiff_t(from), samples.end(), [](float v) { return v == 0.0f; });
}
