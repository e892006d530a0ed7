// One thread renders without pause while another loads, frees, selects, starts, stops and rewinds
// songs, as the audio worker and the window thread do. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include "../../support/TempFolder.h"
#include <random>
#include <thread>
#include <vector>

#include "OrvelCore.h"
#include "TestSongFiles.h"

namespace {

struct TCountingListener : IPlayerListener {
  std::atomic<int> ends{0};
  void Notify(int event, int) override {
    if (event == OrvelEventSongEnded) ++ends;
  }
};

TEST(OrvelConcurrency, RenderWhileTheWindowThreadChangesEverything) {
  TTempFolder folder;
  const std::vector<std::string> paths = {
      folder.Write("short-44k.wav", MakeWav(TWavSampleFormat::Pcm16, 2, 44100, Sine(440, 0.5, 44100, 3000, 2))),
      folder.Write("short-48k.wav", MakeWav(TWavSampleFormat::Float32, 1, 48000, Sine(660, 0.5, 48000, 2000, 1))),
      DemoSong("first-light.xm"), DemoSong("night-pulse.ogg"), folder.path + "/missing.wav"};

  TOrvelPlayer player;
  TPlayerSettings settings = {4, 0, 44100, 0};
  ASSERT_EQ(0, player.Init(&settings));
  TCountingListener listener;
  player.SetListener(&listener);

  std::atomic<bool> done{false};
  std::atomic<long> renders{0};
  std::thread audio([&] {
    std::vector<float> block(2 * 512);
    while (!done) {
      player.Render(block.data(), 512);
      ++renders;
    }
  });

  std::mt19937 random(2024);
  std::vector<TSongHandle> loaded;
  for (int i = 0; i < 10000; ++i) {
    switch (random() % 8) {
      case 0: {
        // Modules and Vorbis decode slowly under the sanitizer: mostly the short WAVs.
        size_t which = random() % 16;
        const std::string& path = paths[which < 6 ? 0 : which < 12 ? 1 : which < 13 ? 2 : which < 14 ? 3 : 4];
        if (TSongHandle song = player.LoadSong(path.c_str())) loaded.push_back(song);
        break;
      }
      case 1:
        if (!loaded.empty()) {
          size_t k = random() % loaded.size();
          player.FreeSong(loaded[k]);
          loaded.erase(loaded.begin() + long(k));
        }
        break;
      case 2: player.SelectSong(loaded.empty() ? 0 : loaded[random() % loaded.size()]); break;
      case 3: player.SetState(OrvelStatePlay); break;
      case 4: player.SetState(OrvelStateStop); break;
      case 5: player.SetPosition(random() % 2 ? 0 : int(random() % 200000)); break;
      case 6: player.GetPosition(); break;
      default:
        if (!loaded.empty()) player.GetSongLength(loaded[random() % loaded.size()]);
        std::this_thread::yield();
    }
  }
  done = true;
  audio.join();
  EXPECT_GT(renders.load(), 0);
  EXPECT_GT(listener.ends.load(), 0) << "songs ran out while the window thread worked";
  player.Shutdown();
}

}  // namespace
