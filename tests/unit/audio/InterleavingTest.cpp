// The stream and transport control over the stand-in device, each test forcing one interleaving
// of the window thread and the stream's worker. What the device played is heard back as labels:
// "-" for silence, "2:0" for the first second of song 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "audio/SoundStream.h"
#include "player/Commands.h"
#include "player/PlayList.h"
#include "player/Transport.h"
#include "player/TransportFlags.h"
#include "tests/support/win32/StandIn.h"
#include "tests/unit/player/RenderingPlayer.h"

namespace {

// Every sample holds a mark of its song and second that the dither cannot blur:
// 4 * (64 * song + second + 1).
class TMarkingPlayer final : public TRenderingPlayer {
public:
  std::vector<std::string> loaded;

  int Render(float* buffer, int frames) override {
    for (int i = 0; i < frames; ++i, ++frame)
      buffer[2 * i] = buffer[2 * i + 1] = float(4 * (64 * int(selected) + frame / 44100 + 1)) / 32768.0f;
    return 0;
  }
  TSongHandle LoadSong(const char* name) override {
    loaded.push_back(name);
    return TSongHandle(loaded.size());
  }
  int SelectSong(TSongHandle song) override {
    selected = song;
    frame = 0;
    return 0;
  }
  int SetPosition(int position) override {
    frame = position;
    return 0;
  }
  int32_t GetPosition() override { return selected ? frame.load() : -1; }

private:
  std::atomic<TSongHandle> selected{0};
  std::atomic<int> frame{0};
};

TMarkingPlayer* Player = nullptr;

// Each run of equal labels once.
std::string Heard() {
  std::string line, last;
  for (int16_t sample : StandIn::TakeHeard()) {
    const int mark = (sample + 2) >> 2;
    const std::string label = mark <= 0 ? "-" : std::to_string((mark - 1) / 64) + ":" + std::to_string((mark - 1) % 64);
    if (label != last) line += (line.empty() ? "" : " ") + label;
    last = label;
  }
  return line;
}

bool Matches(const std::string& heard, const char* pattern) { return std::regex_match(heard, std::regex(pattern)); }

class Interleaving : public ::testing::Test {
protected:
  void SetUp() override { Begin(false); }

  void Begin(bool failNotifications) {
    StandIn::Reset();
    StandIn::FailNotifications(failNotifications);
    Player = new TMarkingPlayer;
    PlayList = new TPlayList;
    for (const char* name : {"a", "b", "c"}) PlayList->AddSong(name);
    ASSERT_TRUE(StartPlayer(nullptr));
    StandIn::FailNotifications(false);
    ASSERT_TRUE(OpenSong(PlayList->CurrentSong()));
    window = std::this_thread::get_id();
  }

  void TearDown() override {
    release = true;
    StandIn::SetHook(nullptr);
    PlayerCommand(cmdStop);
    ShutdownPlayer();
    delete Player;
    EXPECT_EQ(0, StandIn::MessageBoxes());
  }

  // The window's message loop for `ms` of the stand-in's clock; then what was heard meanwhile.
  static std::string Listen(double ms) {
    StandIn::Pump(ms, [](UINT message, WPARAM wParam, LPARAM lParam) {
      if (message == WM_PLAYER_COMMAND) OnPlayerCommandMessage(int(wParam), lParam);
    });
    return Heard();
  }

  bool OnWorker(const char* call, const char* which) {
    return std::this_thread::get_id() != window && std::string(call) == which;
  }

  std::thread::id window;
  // For the hooks, which workers may still run after a test's body.
  std::atomic<bool> holdUp{false}, stick{false}, release{false};
  std::atomic<int> hold{0};  // 1: the worker is to stop at its next wait, or lock; 2: it has
  std::atomic<std::thread::id> stuck;
};

// The worker answers the forward's stop and is then held up in the refill it used to go on with,
// while the window has already started the next song.
TEST_F(Interleaving, AWorkerHeldUpAfterItsAnswer) {
  StandIn::SetHook([&](const char* call) {
    if (holdUp && OnWorker(call, "Lock")) Sleep(80);
  });
  PlayerCommand(cmdPlayPause);
  EXPECT_EQ("- 1:0", Listen(2300));  // the cursor in the first half: the answer comes with its refill
  holdUp = true;
  PlayerCommand(cmdForward);
  const std::string heard = Listen(5500);
  EXPECT_TRUE(Matches(heard, "(1:\\d+ )*- 2:0 2:1 2:2( 2:3)?")) << heard;
}

// The device goes and comes back while nothing plays: the press that plays makes a new stream.
TEST_F(Interleaving, ADeviceGoneWhilePausedOrStopped) {
  PlayerCommand(cmdPlayPause);
  EXPECT_EQ("- 1:0 1:1", Listen(3500));
  PlayerCommand(cmdPlayPause);
  StandIn::Unplug();
  StandIn::Plug();
  PlayerCommand(cmdPlayPause);
  const std::string resumed = Listen(3000);
  EXPECT_TRUE(Matches(resumed, "(1:1 )?- 1:3( 1:4)?")) << resumed << ": the song goes on from where the library is";
  PlayerCommand(cmdStop);
  StandIn::Unplug();
  StandIn::Plug();
  PlayerCommand(cmdPlayPause);
  const std::string replayed = Listen(3000);
  EXPECT_TRUE(Matches(replayed, "(1:\\d+ )?- 1:0( 1:1)?")) << replayed;
  EXPECT_TRUE(PlayingFlag && !PausedFlag);
}

// A stream whose notifications could not be set never refills: the first press replaces it.
TEST_F(Interleaving, NotificationsThatCouldNotBeSet) {
  ShutdownPlayer();
  delete Player;
  Begin(true);
  PlayerCommand(cmdPlayPause);
  const std::string heard = Listen(3000);
  EXPECT_TRUE(Matches(heard, "- 1:0( 1:1)?")) << heard;
}

// The device goes while a song plays, and nobody presses anything: the watch follows it, trying
// quietly while there is no device, and the song goes on.
TEST_F(Interleaving, ADeviceGoneWhilePlaying) {
  PlayerCommand(cmdPlayPause);
  EXPECT_EQ("- 1:0 1:1", Listen(3500));
  StandIn::Unplug();
  EXPECT_EQ("", Listen(4000));
  StandIn::Plug();
  const std::string followed = Listen(5000);
  EXPECT_TRUE(Matches(followed, "- 1:3( 1:4)?")) << followed;
  EXPECT_EQ(std::vector<std::string>{"a"}, Player->loaded);
}

// The worker hangs in Lock; the forward gives up on it and plays the next song on a new stream.
// When Lock returns at last, the worker left behind renders nothing of it.
TEST_F(Interleaving, AWorkerStuckInLock) {
  StandIn::SetHook([&](const char* call) {
    if (!stick || !OnWorker(call, "Lock")) return;
    std::thread::id none;
    stuck.compare_exchange_strong(none, std::this_thread::get_id());
    while (stuck.load() == std::this_thread::get_id() && !release) Sleep(1);
  });
  PlayerCommand(cmdPlayPause);
  Listen(2300);
  stick = true;
  Listen(1000);
  ASSERT_NE(std::thread::id(), stuck.load());
  PlayerCommand(cmdForward);
  release = true;
  const std::string heard = Listen(4500);
  EXPECT_TRUE(Matches(heard, "(1:\\d+ )*- 2:0 2:1( 2:2)?")) << heard;
}

// The library's end of song 1 waits in the queue while the song is stopped and played again.
TEST_F(Interleaving, AnEndFromBeforeAStopAndPlay) {
  PlayerCommand(cmdPlayPause);
  Listen(1500);
  OnPlayerEvent(OrvelEventSongEnded, 1);
  PlayerCommand(cmdStop);
  PlayerCommand(cmdPlayPause);
  EXPECT_EQ("- 1:0 1:1", Listen(3500));
  EXPECT_EQ(std::vector<std::string>{"a"}, Player->loaded);
}

// A seek is heard at once, as the worker comes to it after a refill it was held up in, and a
// quick second one moves on from the first's target. One asked before a stop and a play, a pause,
// or a song's end told, but taken by the worker after it, plays nothing of the old place: the
// play starts over, the resume starts at the seek's place, and the next song follows.
TEST_F(Interleaving, ASeekRacingARefillAStopAPauseAndAnEnd) {
  StandIn::SetHook([&](const char* call) {
    int armed = 1;
    if ((OnWorker(call, "Wait") || (holdUp && OnWorker(call, "Lock"))) && hold.compare_exchange_strong(armed, 2))
      while (hold == 2 && !release) Sleep(1);
  });
  const auto holdWorker = [&](bool inRefill) {
    holdUp = inRefill;
    hold = 1;
    while (hold != 2) Listen(10);
  };
  PlayerCommand(cmdPlayPause);
  EXPECT_EQ("- 1:0", Listen(2300));
  holdWorker(true);
  SeekTo(10 * 44100);
  SeekBy(5);
  hold = 0;
  std::string heard = Listen(2500);
  EXPECT_TRUE(Matches(heard, "(1:[012] )?(\\S+ )?1:15 1:16( 1:17)?")) << heard;  // a label of the fade between
  holdWorker(false);
  SeekTo(30 * 44100);
  PlayerCommand(cmdStop);
  PlayerCommand(cmdPlayPause);
  hold = 0;
  heard = Listen(3000);
  EXPECT_TRUE(Matches(heard, "(1:1\\d )?- 1:0( 1:1)?")) << heard;
  holdWorker(false);
  SeekTo(40 * 44100);
  PlayerCommand(cmdPlayPause);
  hold = 0;
  Listen(500);
  PlayerCommand(cmdPlayPause);
  heard = Listen(3000);
  // A worker starved past the stand-in's clock joins a second on, never at the old place.
  EXPECT_TRUE(Matches(heard, "(\\S+ )?1:4[01]( 1:4\\d)*")) << heard;
  holdWorker(false);
  SeekTo(50 * 44100);
  OnPlayerEvent(OrvelEventSongEnded, 1);
  Listen(50);
  hold = 0;
  heard = Listen(6000);
  EXPECT_TRUE(Matches(heard, "(1:4\\d )*- 2:0 2:1( 2:\\d)*")) << heard;
}

// The face's reading of the cursor: the cleared buffer at the song's start, then the song as heard,
// held while paused, and nothing once stopped.
TEST_F(Interleaving, WhatIsHeardAtTheCursor) {
  std::vector<int16_t> pcm(2 * 441);
  PlayerCommand(cmdPlayPause);
  Listen(1500);
  THeardSound heard = GetHeardSound(pcm.data(), 441);
  EXPECT_TRUE(heard.clockShown && !heard.audible && heard.songFrame == 0 && pcm[0] == 0);
  Listen(1000);
  heard = GetHeardSound(pcm.data(), 441);
  EXPECT_TRUE(heard.audible && (pcm[0] + 2) >> 2 == 65 && (pcm.back() + 2) >> 2 == 65) << pcm[0];
  EXPECT_NEAR(heard.songFrame, 22050, 8820);
  PlayerCommand(cmdPlayPause);
  const THeardSound paused = GetHeardSound(nullptr, 0);
  Listen(500);
  EXPECT_EQ(paused.songFrame, GetHeardSound(nullptr, 0).songFrame);
  EXPECT_NEAR(paused.songFrame, heard.songFrame, 4410);
  EXPECT_FALSE(paused.audible);
  PlayerCommand(cmdStop);
  EXPECT_FALSE(GetHeardSound(nullptr, 0).clockShown);
}

// A refill keeps the frames just behind the cursor as they were heard; a reader never meets a
// refill half done.
TEST(HeardRecord, BehindTheCursorIsWhatWasHeard) {
  THeardRecord record(100);
  std::vector<int16_t> pcm(200), out(40);
  const auto refill = [&](int half, int16_t value, THalfTag tag) {
    std::fill(pcm.begin(), pcm.end(), value);
    record.Remember(half, pcm.data(), tag);
  };
  const auto heard = [&](uint32_t cursor) {
    const THeardRecord::TAtCursor at = record.Read(cursor, out.data(), 20);
    return std::to_string(out[0]) + std::to_string(out[29]) + std::to_string(out[39]) + (at.tag.song ? "+" : "-") +
           std::to_string(at.tag.songFrame + at.frameInHalf);
  };
  refill(0, 1, {true, 1000, 100});   // as the cursor enters half 1: half 0 was heard cleared
  EXPECT_EQ("000-10", heard(110));
  refill(1, 2, {true, 1100, 60});
  EXPECT_EQ("001+1005", heard(5));
  refill(0, 3, {true, 1200, 100});
  EXPECT_EQ("112+1105", heard(105));
  // A seek as the cursor stands at 120: the rest of its half from 150 on, and all of the next.
  const std::vector<int16_t> nines(300, 9);
  record.Rewrite(150, nines.data(), 150, {true, 7000, 150});
  EXPECT_EQ("222+1140", heard(140));
  EXPECT_EQ("299+7010", heard(160));
  EXPECT_EQ("999+7060", heard(10));
  record.Clear();
  EXPECT_EQ("000-10", heard(110));
  std::thread writer([&] {
    for (int16_t n = 1; n <= 300; ++n) refill(n % 2, n, {true, 0, 100});
  });
  for (int n = 0; n < 300; ++n) {
    record.Read(50, out.data(), 20);
    EXPECT_TRUE(std::equal(out.begin() + 1, out.end(), out.begin())) << n;
  }
  writer.join();
}

// The worker answers an earlier request, for the end of a song, just after the window has seen
// the buffers running and before it asks for its own stop: nobody is left to answer.
TEST(StreamInterleaving, AWorkerThatStoppedItselfBeforeTheRequest) {
  StandIn::Reset();
  TSoundStream stream(nullptr, true);
  ASSERT_EQ(DS_OK, stream.CreateBuffers(2000));
  stream.Start();
  stream.RequestStop();
  const std::thread::id window = std::this_thread::get_id();
  std::atomic<bool> armed{true};
  DWORD answeredAt = GetTickCount();
  StandIn::SetHook([&](const char* call) {
    if (std::this_thread::get_id() != window || std::string(call) != "GetTickCount" || !armed.exchange(false)) return;
    while (stream.IsStopRequested()) Sleep(1);
    answeredAt = GetTickCount();
  });
  stream.StopAndWait(1200);
  StandIn::SetHook(nullptr);
  EXPECT_LT(GetTickCount() - answeredAt, 200u);
  EXPECT_FALSE(stream.IsLost());
}

}  // namespace

IOrvelPlayer* IOrvelPlayer::GetOrvelPlayer() { return Player; }
