// Under ThreadSanitizer: the window thread changes the transport's own flags, through the one
// function that sets them, while the worker converts refills that read them as RenderSamples does.
#include "player/SampleConversion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "player/TransportFlags.h"
#include "tests/unit/player/RenderingPlayer.h"

TEST(RenderRace, FlagsChangeWhileTheWorkerConverts) {
  TRenderingPlayer player;
  std::atomic<bool> done{false};
  std::atomic<int> refills{0};
  int rendered = 0, silent = 0, torn = 0;
  std::thread worker([&] {
    TDitherGenerator dither;
    std::vector<int16_t> half(2 * 4410);
    while (!done) {
      std::fill(half.begin(), half.end(), int16_t(0));
      RenderPcm(player, PlayingFlag, half.data(), 4410, dither);
      size_t zeros = 0;
      for (int16_t sample : half) zeros += sample == 0;
      // A refill is all or nothing: the ramp gives few zeros, silence all of them.
      if (zeros == half.size()) {
        ++silent;
      } else if (zeros < half.size() / 8) {
        ++rendered;
      } else {
        ++torn;
      }
      ++refills;
    }
  });
  const TTransportState cycle[] = {TTransportState::Playing, TTransportState::Paused, TTransportState::Stopped};
  for (int i = 0; refills < 300; ++i) {
    SetTransportState(cycle[i % 3]);
    // Each state holds for at least two refills, so every state is met however the threads
    // are scheduled; the change itself still lands while a refill may be converting.
    for (const int until = refills + 2; refills < until;) std::this_thread::yield();
  }
  done = true;
  worker.join();
  std::printf("%d refills: %d rendered, %d silent\n", int(refills), rendered, silent);
  EXPECT_GT(rendered, 0);
  EXPECT_GT(silent, 0);
  EXPECT_EQ(rendered, player.renders);
  EXPECT_EQ(0, torn);
}
