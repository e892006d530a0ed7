// What comes out of the player, sample by sample: WAV encodings, modules against libopenmpt itself,
// and the resampler's accuracy.
#include <cmath>
#include <cstring>

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
