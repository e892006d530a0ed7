// What comes out of the player, sample by sample: WAV encodings, modules against libopenmpt itself,
// and the resampler's accuracy.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>

#include <libopenmpt/libopenmpt.hpp>

#include "PlayerFixture.h"
#include "ToneFit.h"

namespace {

TEST_F(PlayerTest, EveryWavEncodingDecodesToItsSamples) {
  const TWavSampleFormat formats[] = {TWavSampleFormat::Pcm8,  TWavSampleFormat::Pcm16,
                                      TWavSampleFormat::Pcm24, TWavSampleFormat::Pcm32,
                                      TWavSampleFormat::Float32, TWavSampleFormat::Float64};
  const size_t frames = 3000;
  for (TWavSampleFormat format : formats) {
    for (int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << BitsOf(format) << " bits, " << channels << " channels");
      std::vector<double> samples;
      for (size_t i = 0; i < frames; ++i) {
        double left = 0.9 * std::sin(0.01 * double(i)), right = -0.5 * std::cos(0.013 * double(i));
        samples.push_back(left);
        if (channels == 2) samples.push_back(right);
      }
      TSongHandle song = LoadAndPlay(SongFile("enc.wav", MakeWav(format, channels, 44100, samples)));
      EXPECT_EQ(int32_t(frames), player->GetSongLength(song));
      std::vector<float> out = Render(int(frames));
      for (size_t i = 0; i < frames; ++i) {
        double left = samples[i * channels], right = channels == 2 ? samples[i * 2 + 1] : left;
        ASSERT_NEAR(left, out[2 * i], StepOf(format)) << i;
        ASSERT_NEAR(right, out[2 * i + 1], StepOf(format)) << i;
      }
      player->FreeSong(song);
    }
  }
}

TEST_F(PlayerTest, ModuleRendersExactlyAsLibopenmptDoes) {
  const std::vector<uint8_t> bytes = ReadBytes(DemoSong("first-light.xm"));
  for (int filter : {4, 8, 1}) {
    SCOPED_TRACE(filter);
    TPlayerSettings s = {filter, 0, 44100, 0};
    ASSERT_EQ(0, player->Init(&s));
    ASSERT_NE(0u, LoadAndPlay(DemoSong("first-light.xm")));

    openmpt::module direct(bytes);
    direct.set_repeat_count(0);
    direct.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, filter);
    std::vector<float> expected(2 * 44100);
    size_t blocks = 0;
    for (;; ++blocks) {
      std::fill(expected.begin(), expected.end(), 0.0f);
      size_t frames = direct.read_interleaved_stereo(44100, 44100, expected.data());
      std::vector<float> actual = Render(44100);
      ASSERT_EQ(0, std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(float))) << "block " << blocks;
      if (frames < 44100) break;
    }
    EXPECT_GT(blocks, 20u);
    EXPECT_TRUE(listener.events.empty()) << "the end is told by the render after the last frame";
    Render(44100);
    EXPECT_EQ(1u, listener.events.size());
    listener.events.clear();
  }
}

// libopenmpt's own render of a module with the given controls and filter, from `seconds` on and
// padded with silence past its end.
std::vector<float> DirectRender(const std::vector<uint8_t>& bytes, const std::map<std::string, std::string>& controls,
                                int filter, size_t frames, double seconds = 0) {
  openmpt::module direct(bytes, std::clog, controls);
  direct.set_repeat_count(0);
  direct.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, filter);
  if (seconds > 0) direct.set_position_seconds(seconds);
  std::vector<float> out(2 * frames, 0.0f);
  direct.read_interleaved_stereo(44100, frames, out.data());
  return out;
}

// Each choice an author has: what libopenmpt renders with the same controls, unlike what the song
// plays without one, kept through a rewind, and not lent to the song loaded after it.
TEST_F(PlayerTest, ModuleResamplersRenderAsLibopenmptDoes) {
  const std::vector<uint8_t> bytes = MakeMod(1);
  const std::string mod = SongFile("amiga.mod", bytes);
  const char* const amigaTypes[] = {"auto", "a500", "a1200", "unfiltered"};
  const int frames = 4 * 44100;  // the whole song and some silence
  for (int resampler = OrvelResamplerAmiga; resampler <= OrvelResamplerSinc; ++resampler) {
    SCOPED_TRACE(resampler);
    const bool amiga = resampler <= OrvelResamplerUnfiltered;
    const int filter = amiga ? 4 : 1 << (resampler - OrvelResamplerNone);
    settings.interpolation = filter == 4 && !amiga ? 8 : 4;  // a default other than the choice
    ASSERT_EQ(0, player->Init(&settings));
    std::map<std::string, std::string> controls;
    if (amiga)
      controls = {{"render.resampler.emulate_amiga", "1"},
                  {"render.resampler.emulate_amiga_type", amigaTypes[resampler - OrvelResamplerAmiga]}};
    const std::vector<float> expected = DirectRender(bytes, controls, filter, frames);
    player->SelectSong(player->LoadSongResampled(mod.c_str(), resampler));
    player->SetState(OrvelStatePlay);
    EXPECT_TRUE(Render(frames) == expected);
    player->SetPosition(0);
    EXPECT_TRUE(Render(frames) == expected) << "rebuilt on rewind";
    LoadAndPlay(mod);
    const std::vector<float> plain = Render(frames);
    EXPECT_TRUE(plain == DirectRender(bytes, {}, settings.interpolation, frames)) << "as without the choice";
    EXPECT_FALSE(plain == expected);
  }
}

// A module seek lands where libopenmpt's own does, on the start of a row, and plays on as libopenmpt
// does with its samples kept in step: a note struck before the seek point still sounds after it.
TEST_F(PlayerTest, ModuleSeekLandsOnARowWithTheNotesThatSound) {
  const std::vector<uint8_t> bytes = MakeMod(2);
  ASSERT_NE(0u, LoadAndPlay(SongFile("held.mod", bytes)));
  ASSERT_EQ(0, player->SetPosition(5 * 44100));  // in the second pattern, where only the held note sounds
  EXPECT_EQ(222264, player->GetPosition()) << "its row 20: 3.84 s + 20 * 0.06 s";
  const std::vector<float> played = Render(44100);
  EXPECT_TRUE(played == DirectRender(bytes, {{"seek.sync_samples", "1"}}, 4, 44100, 5.0));
  EXPECT_GT(*std::max_element(played.begin(), played.end()), 0.1f) << "the held note";
}

// A 48 kHz sine through the resampler to 44.1 kHz: same pitch, nothing else above -60 dB.
TEST_F(PlayerTest, ResampledSineKeepsPitchAndPurity) {
  for (double hz : {1000.0, 10000.0}) {
    SCOPED_TRACE(hz);
    std::vector<uint8_t> wav = MakeWav(TWavSampleFormat::Pcm16, 1, 48000, Sine(hz, 0.5, 48000, 3 * 48000, 1));
    ASSERT_NE(0u, LoadAndPlay(SongFile("sine.wav", wav)));
    std::vector<float> out = Render(3 * 44100);
    for (int channel : {0, 1}) {
      std::vector<double> middle;  // away from the onset and the end
      for (size_t i = 11025; i < 11025 + 88200; ++i) middle.push_back(out[2 * i + channel]);
      TToneFit fit = FitTone(middle, 44100);
      EXPECT_NEAR(hz, fit.hz, hz * 0.001);
      EXPECT_NEAR(0.5, fit.amplitude, 0.01);
      double toneRms = fit.amplitude / std::sqrt(2.0);
      EXPECT_GE(20 * std::log10(toneRms / fit.residualRms), 60.0);
    }
  }
}

TEST(ToneFitTest, FindsAKnownToneAndItsNoise) {
  std::vector<double> x = Sine(1234.5, 0.3, 44100, 50000, 1);
  for (size_t i = 0; i < x.size(); ++i) x[i] += (i % 2 ? 0.001 : -0.001);
  TToneFit fit = FitTone(x, 44100);
  EXPECT_NEAR(1234.5, fit.hz, 1e-6);
  EXPECT_NEAR(0.3, fit.amplitude, 1e-6);
  EXPECT_NEAR(0.001, fit.residualRms, 1e-6);
}

}  // namespace
