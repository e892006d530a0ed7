// The library when memory runs out, and rewinding a module while the audio thread renders.
// operator new is replaced here: on the thread that arms it, it counts allocations, fails one of
// them, or runs a probe at one of them. The decoder's own blocks come from it too.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include "../../support/TempFolder.h"
#include <future>
#include <new>
#include <string>
#include <vector>

#include "OrvelCore.h"
#include "TestSongFiles.h"

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;
thread_local long failAt = 0;
thread_local long probeAt = 0;
thread_local void (*probe)(void*) = nullptr;
thread_local void* probeContext = nullptr;

void* Allocate(std::size_t bytes) noexcept {
  if (counting) {
    ++allocations;
    if (allocations == failAt) return nullptr;
    if (allocations == probeAt && probe) {
      auto run = probe;
      probe = nullptr;
      run(probeContext);
    }
  }
  return std::malloc(bytes ? bytes : 1);
}

// As the standard's own: a failure calls the new-handler, if any, and tries again.
void* AllocateOrThrow(std::size_t bytes) {
  for (;;) {
    if (void* block = Allocate(bytes)) return block;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateOrNull(std::size_t bytes) noexcept {
  try {
    return AllocateOrThrow(bytes);
  } catch (...) {
    return nullptr;
  }
}

// Counts (and fails or probes) the allocations of what it runs on this thread.
template <typename F>
long CountAllocations(F&& run, long fail = 0) {
  allocations = 0;
  failAt = fail;
  counting = true;
  run();
  counting = false;
  return allocations;
}

std::vector<float> RenderFrames(TOrvelPlayer& player, int frames) {
  std::vector<float> out(2 * size_t(frames));
  player.Render(out.data(), frames);
  return out;
}

// Every allocation of a load fails in turn: each is refused, or the song loads and plays as it
// should. ASan's leak check at exit sees whatever a failed load left behind.
TEST(MemoryPressure, EveryFailedAllocationOfALoadIsRefusedCleanly) {
  TTempFolder folder;
  const std::string wav = folder.Write("pressure.wav", MakeWav(TWavSampleFormat::Pcm16, 2, 48000, Sine(440, 0.5, 48000, 4000, 2)));
  for (const std::string& path : {DemoSong("night-pulse.ogg"), wav, DemoSong("first-light.xm")}) {
    SCOPED_TRACE(path);
    TOrvelPlayer player;
    TPlayerSettings settings = {4, 0, 44100, 0};
    ASSERT_EQ(0, player.Init(&settings));
    player.SetState(OrvelStatePlay);
    auto playFirstFrames = [&](TSongHandle song) {
      player.SelectSong(song);
      std::vector<float> frames = RenderFrames(player, 2048);
      frames = RenderFrames(player, 2048);  // past the quiet start
      player.FreeSong(song);
      return frames;
    };
    // The first load also makes what libopenmpt keeps for good.
    TSongHandle song = player.LoadSong(path.c_str());
    ASSERT_NE(0u, song);
    const std::vector<float> expected = playFirstFrames(song);
    const long total = CountAllocations([&] { song = player.LoadSong(path.c_str()); });
    ASSERT_NE(0u, song);
    player.FreeSong(song);
    ASSERT_GT(total, 5);
    long refused = 0;
    for (long n = 1; n <= total; ++n) {
      long made = CountAllocations([&] { song = player.LoadSong(path.c_str()); }, n);
      ASSERT_GE(made, n) << "the failure was reached";
      if (song)
        ASSERT_EQ(expected, playFirstFrames(song)) << "a song loaded despite failure " << n << " plays as it should";
      else
        ++refused;
    }
    EXPECT_GT(refused, 0);
    song = player.LoadSong(path.c_str());
    ASSERT_NE(0u, song);
    EXPECT_EQ(expected, playFirstFrames(song)) << "no failure left anything behind";
    player.Shutdown();
  }
}

struct TRewindProbe {
  TOrvelPlayer* player;
  std::future<std::vector<float>> render;
  bool finished = false;
};

// A rewind costs nothing until the song plays again: a song rewound and then freed, as every change
// of song does, is never parsed anew. Halfway through that parse, another thread renders: it must
// get through (and hear the song go on) while the rewind is still at work. Were the lock held, it
// would wait it out.
TEST(MemoryPressure, RenderGoesOnWhileAModuleRewinds) {
  TOrvelPlayer player;
  TPlayerSettings settings = {4, 0, 44100, 0};
  ASSERT_EQ(0, player.Init(&settings));
  TSongHandle song = player.LoadSong(DemoSong("first-light.xm").c_str());
  ASSERT_NE(0u, song);
  player.SelectSong(song);
  EXPECT_EQ(0, CountAllocations([&] { EXPECT_EQ(0, player.SetPosition(0)); })) << "already at its start";
  player.SetState(OrvelStatePlay);
  const std::vector<float> start = RenderFrames(player, 44100);
  EXPECT_EQ(0, CountAllocations([&] { EXPECT_EQ(0, player.SetPosition(0)); })) << "nothing until it plays";
  const long total = CountAllocations([&] { EXPECT_EQ(0, player.SetState(OrvelStatePlay)); });
  ASSERT_GT(total, 100) << "playing again parses the module anew";
  RenderFrames(player, 44100);
  player.SetPosition(0);

  TRewindProbe context{&player, {}, false};
  probeContext = &context;
  probeAt = total / 2;
  probe = [](void* raw) {
    auto* context = static_cast<TRewindProbe*>(raw);
    context->render = std::async(std::launch::async, [player = context->player] { return RenderFrames(*player, 4410); });
    // Only a fault makes this wait: Render blocked behind the rewind, which blocks on this wait.
    context->finished = context->render.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  };
  CountAllocations([&] { EXPECT_EQ(0, player.SetState(OrvelStatePlay)); });
  ASSERT_EQ(nullptr, probe) << "the probe ran";
  EXPECT_TRUE(context.finished) << "Render waited for the rewind";
  std::vector<float> during = context.render.get();
  EXPECT_NE(std::vector<float>(during.size()), during) << "the song played on meanwhile";
  EXPECT_EQ(0, player.GetPosition());
  EXPECT_EQ(start, RenderFrames(player, 44100)) << "the rewound song starts over";
  player.Shutdown();
}

}  // namespace

void* operator new(std::size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new[](std::size_t bytes) { return AllocateOrThrow(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return AllocateOrNull(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return AllocateOrNull(bytes); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
