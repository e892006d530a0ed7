// What the program relies on from the player: loading, state, position, end of song.
#include <cmath>
#include <cstring>
#include <random>

#include "PlayerFixture.h"
#include "PlayerListener.h"

namespace {

// A song whose every frame differs from the last, so that a lost or repeated frame shows.
std::vector<uint8_t> RampWav(int rate, size_t frames, TWavSampleFormat format = TWavSampleFormat::Pcm16) {
  std::vector<double> samples;
  for (size_t i = 0; i < frames; ++i) {
    double x = 0.1 + 0.8 * double(i % 997) / 997.0;
    samples.push_back(x);
    samples.push_back(-x);
  }
  return MakeWav(format, 2, rate, samples);
}

TEST_F(PlayerTest, InitRefusesSettingsItCannotHonour) {
  EXPECT_EQ(int(OrvelVersion), player->GetVersion());
  const TPlayerSettings refused[] = {
      {0, 0, 44100, 0}, {3, 0, 44100, 0}, {16, 0, 44100, 0}, {4, 1, 44100, 0},
      {4, 0, 44100, 1}, {4, 0, 0, 0},     {4, 0, -44100, 0}, {4, 0, 1000000, 0}};
  for (const TPlayerSettings& s : refused)
    EXPECT_NE(0, player->Init(&s)) << s.interpolation << " " << s.reserved1 << " " << s.sampleRate;
  EXPECT_NE(0, player->Init(nullptr));
  for (int filter : {1, 2, 4, 8}) {
    TPlayerSettings s = {filter, 0, 48000, 0};
    EXPECT_EQ(0, player->Init(&s)) << filter;
  }
}

TEST_F(PlayerTest, EachDemoFormatLoadsAndPlays) {
  for (const char* name : {"first-light.xm", "slow-drift.wav", "night-pulse.ogg"}) {
    SCOPED_TRACE(name);
    TSongHandle song = LoadAndPlay(DemoSong(name));
    int32_t length = player->GetSongLength(song);
    EXPECT_GE(length, 20 * 44100);
    EXPECT_LE(length, 60 * 44100);
    std::vector<float> second = Render(44100);
    second = Render(44100);  // the intros start quietly
    double energy = 0;
    for (float x : second) {
      ASSERT_TRUE(std::isfinite(x));
      ASSERT_LE(std::fabs(x), 1.5f);
      energy += double(x) * x;
    }
    EXPECT_GT(std::sqrt(energy / second.size()), 0.02);
    EXPECT_EQ(2 * 44100, player->GetPosition());
    EXPECT_EQ(0, player->FreeSong(song));
  }
}

TEST_F(PlayerTest, RenderIsSilentWhenStoppedOrWithoutSong) {
  EXPECT_TRUE(AllZero(Render(1000))) << "nothing selected";
  EXPECT_EQ(-1, player->GetPosition());

  TSongHandle song = player->LoadSong(SongFile("ramp.wav", RampWav(44100, 20000)).c_str());
  ASSERT_NE(0u, song);
  ASSERT_EQ(0, player->SelectSong(song));
  EXPECT_TRUE(AllZero(Render(1000))) << "selected, not playing";
  EXPECT_EQ(0, player->GetPosition());

  player->SetState(OrvelStatePlay);
  EXPECT_FALSE(AllZero(Render(1000)));

  EXPECT_EQ(0, player->FreeSong(song));
  EXPECT_TRUE(AllZero(Render(1000))) << "selected song freed";
  EXPECT_NE(0, player->SelectSong(song)) << "freed handle";
  EXPECT_NE(0, player->FreeSong(song));
  EXPECT_NE(0, player->FreeSong(0));
  EXPECT_NE(0, player->SetState(2));
  EXPECT_NE(0, player->Render(nullptr, 100));
}

TEST_F(PlayerTest, EndEventFiresOnceAndSilenceFollows) {
  // 1.5 s at the output rate, and the same song at 48 kHz through the resampler.
  for (int rate : {44100, 48000}) {
    SCOPED_TRACE(rate);
    listener.events.clear();
    TSongHandle song = LoadAndPlay(SongFile("end.wav", RampWav(rate, size_t(rate) * 3 / 2)));
    std::vector<float> first = Render(44100);
    EXPECT_TRUE(listener.events.empty());
    std::vector<float> second = Render(44100);
    EXPECT_TRUE(listener.events.empty()) << "told only once nothing of the song is left";
    EXPECT_TRUE(AllZero(Render(44100)));
    ASSERT_EQ(1u, listener.events.size());
    EXPECT_EQ(OrvelEventSongEnded, listener.events[0].first);
    EXPECT_EQ(int(song), listener.events[0].second);
    const int32_t end = player->GetPosition();
    EXPECT_NEAR(66150, end, 1);
    const size_t tail = 2 * size_t(end - 44100);
    EXPECT_NE(0.0f, second[tail - 2]) << "the song's last frame";
    EXPECT_TRUE(AllZero(second, tail));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(AllZero(Render(44100)));
    EXPECT_EQ(1u, listener.events.size());
    EXPECT_EQ(end, player->GetPosition()) << "stays at its end";
    player->FreeSong(song);
  }
}

TEST_F(PlayerTest, ModuleEndsOnceWithoutLooping) {
  TSongHandle song = LoadAndPlay(DemoSong("first-light.xm"));
  RenderToEnd(44100, 100);
  ASSERT_EQ(1u, listener.events.size());
  EXPECT_NEAR(player->GetSongLength(song), player->GetPosition(), 44100);
  EXPECT_TRUE(AllZero(Render(44100)));
  EXPECT_EQ(1u, listener.events.size());

  // Rewound, it plays again and ends again.
  player->SetPosition(0);
  RenderToEnd(44100, 100);
  EXPECT_EQ(2u, listener.events.size());
}

// Rewound to the start, each song plays again the very frames it played; a stop holds its frame.
TEST_F(PlayerTest, RewindIsExactAndStopKeepsTheVeryFrame) {
  for (const std::string& path :
       {SongFile("stop.wav", RampWav(48000, 30000)), SongFile("rewind.wav", RampWav(22050, 40000)),
        DemoSong("first-light.xm"), DemoSong("night-pulse.ogg")}) {
    SCOPED_TRACE(path);
    TSongHandle song = LoadAndPlay(path);
    std::vector<float> reference = Render(50000);
    EXPECT_EQ(0, player->SetPosition(0));
    EXPECT_EQ(0, player->GetPosition());
    std::vector<float> played = Render(7000);
    player->SetState(OrvelStateStop);
    EXPECT_TRUE(AllZero(Render(3000)));
    EXPECT_EQ(7000, player->GetPosition());
    player->SetState(OrvelStatePlay);
    std::vector<float> rest = Render(43000);
    played.insert(played.end(), rest.begin(), rest.end());
    EXPECT_EQ(0, std::memcmp(reference.data(), played.data(), reference.size() * sizeof(float)));
    EXPECT_NE(0, player->SetPosition(-1));
    player->FreeSong(song);
  }
}

// A seek lands on the very frame asked for: what the song from its start gives from there, bit for
// bit, or nearly where a resampler starts afresh. At or past the end, it ends the song as its end
// does: silence, and the end told once.
TEST_F(PlayerTest, SeekLandsOnTheVeryFrameOrEndsTheSong) {
  const std::vector<std::pair<std::string, float>> songs = {
      {SongFile("same.wav", RampWav(44100, 88200)), 0.0f}, {DemoSong("night-pulse.ogg"), 0.0f},
      {SongFile("high.wav", RampWav(48000, 96000)), 1e-4f}, {SongFile("low.wav", RampWav(22050, 44100)), 1e-4f}};
  for (const auto& [path, tolerance] : songs) {
    SCOPED_TRACE(path);
    listener.events.clear();
    TSongHandle song = LoadAndPlay(path);
    const std::vector<float> whole = Render(80000);
    for (int frame : {61234, 1, 30001}) {
      EXPECT_EQ(0, player->SetPosition(frame));
      EXPECT_EQ(frame, player->GetPosition());
      const std::vector<float> tail = Render(80000 - frame);
      for (size_t i = 0; i < tail.size(); ++i) ASSERT_NEAR(whole[2 * size_t(frame) + i], tail[i], tolerance) << i;
    }
    const int32_t length = player->GetSongLength(song);
    for (int32_t past : {length, length + 44100}) {
      ASSERT_EQ(0, player->SetPosition(past));
      EXPECT_EQ(length, player->GetPosition());
      EXPECT_TRUE(AllZero(Render(1000)));
      EXPECT_TRUE(AllZero(Render(1000)));
      EXPECT_EQ(size_t(past == length ? 1 : 2), listener.events.size());
      EXPECT_EQ(std::make_pair(int(OrvelEventSongEnded), int(song)), listener.events.back());
    }
    player->FreeSong(song);
  }
}

TEST_F(PlayerTest, SongsKeepTheirOwnPositions) {
  TSongHandle a = LoadAndPlay(SongFile("a.wav", RampWav(44100, 40000)));
  TSongHandle b = player->LoadSong(SongFile("b.wav", RampWav(44100, 40000, TWavSampleFormat::Pcm8)).c_str());
  ASSERT_NE(0u, b);
  EXPECT_NE(a, b);
  Render(1000);
  player->SelectSong(b);
  Render(3000);
  EXPECT_EQ(3000, player->GetPosition());
  player->SelectSong(a);
  EXPECT_EQ(1000, player->GetPosition());
  EXPECT_EQ(0, player->SelectSong(0));
  EXPECT_TRUE(AllZero(Render(100)));
}

TEST_F(PlayerTest, LoadSongRefusesWhatItCannotPlay) {
  std::vector<uint8_t> module = ReadBytes(DemoSong("first-light.xm"));
  std::vector<uint8_t> wav = RampWav(44100, 5000);
  std::mt19937 random(12345);
  std::vector<uint8_t> noise(65536);
  for (uint8_t& b : noise) b = uint8_t(random());
  std::vector<uint8_t> lyingWav = wav;
  lyingWav.resize(wav.size() - 1000);  // the data chunk still claims 5000 frames

  std::vector<uint8_t> ogg = ReadBytes(DemoSong("night-pulse.ogg"));
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
      {"comments.ogg", WithVorbisCommentField(ogg, TVorbisCommentField::CommentCount, 0x7FFFFFFF)},
      {"vendor.ogg", WithVorbisCommentField(ogg, TVorbisCommentField::VendorLength, 0xFFFFFFF0)},
      {"header.ogg", std::vector<uint8_t>(ogg.begin(), ogg.begin() + 100)},
      {"empty.xm", {}},
      {"half.xm", std::vector<uint8_t>(module.begin(), module.begin() + module.size() / 2)},
      {"most.xm", std::vector<uint8_t>(module.begin(), module.end() - 100)},
      {"header.xm", std::vector<uint8_t>(module.begin(), module.begin() + 60)},
      {"noise.xm", noise},
      {"noise.wav", noise},
      {"header.wav", std::vector<uint8_t>(wav.begin(), wav.begin() + 30)},
      {"nodata.wav", std::vector<uint8_t>(wav.begin(), wav.begin() + 44)},
      {"lying.wav", lyingWav},
  };
  for (const auto& [name, bytes] : bad) EXPECT_EQ(0u, player->LoadSong(SongFile(name, bytes).c_str())) << name;
  EXPECT_EQ(0u, player->LoadSong(folder.path.c_str())) << "a directory";
  EXPECT_EQ(0u, player->LoadSong("no-such-song.xm"));
  EXPECT_EQ(0u, player->LoadSong(""));
  EXPECT_EQ(0u, player->LoadSong(nullptr));
  EXPECT_NE(0u, player->LoadSong(SongFile("whole.xm", module).c_str())) << "the same bytes, whole";
}

TEST_F(PlayerTest, NothingLoadsBeforeInitOrAfterShutdown) {
  std::string path = SongFile("late.wav", RampWav(44100, 1000));
  TSongHandle song = player->LoadSong(path.c_str());
  ASSERT_NE(0u, song);
  player->Shutdown();
  EXPECT_EQ(-1, player->GetSongLength(song)) << "Shutdown frees the songs";
  EXPECT_EQ(0u, player->LoadSong(path.c_str()));
  EXPECT_TRUE(AllZero(Render(100)));
  ASSERT_EQ(0, player->Init(&settings));
  EXPECT_NE(0u, player->LoadSong(path.c_str()));
}

// A listener that frees the song it is told about, from inside Render.
struct TFreeingListener : IPlayerListener {
  IOrvelPlayer* player = nullptr;
  int freed = 0;
  void Notify(int, int param) override { freed += player->FreeSong(TSongHandle(param)) == 0; }
};

TEST_F(PlayerTest, ListenerMayCallBackIntoThePlayer) {
  TFreeingListener freeing;
  freeing.player = player;
  player->SetListener(&freeing);
  TSongHandle song = LoadAndPlay(SongFile("brief.wav", RampWav(44100, 100)));
  Render(1000);
  EXPECT_EQ(0, freeing.freed);
  Render(1000);
  EXPECT_EQ(1, freeing.freed);
  EXPECT_EQ(-1, player->GetSongLength(song));
  EXPECT_TRUE(AllZero(Render(1000)));
}

std::vector<std::pair<int, int>> programEvents;
void RecordProgramEvent(int event, int param) { programEvents.emplace_back(event, param); }

TEST_F(PlayerTest, ProgramListenerPassesEventsToItsCallback) {
  TPlayerListener programListener;
  programListener.Notify(0, 7);  // no callback yet: nothing happens
  programListener.SetCallback(RecordProgramEvent);
  programEvents.clear();
  player->SetListener(&programListener);
  TSongHandle song = LoadAndPlay(SongFile("short.wav", RampWav(44100, 100)));
  Render(1000);
  Render(1000);
  ASSERT_EQ(1u, programEvents.size());
  EXPECT_EQ(std::make_pair(0, int(song)), programEvents[0]);
  player->SetListener(nullptr);

  IPlayerListener* asInterface = new TPlayerListener();
  delete asInterface;  // through the virtual destructor
}

}  // namespace
