#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "SongFormat.h"
#include "TestSongFiles.h"
#include "WavReader.h"

namespace {

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) v[at + i] = uint8_t(value >> (8 * i));
}

// A canonical stereo 16-bit file: fmt at 12, data header at 36, frames from 44.
std::vector<uint8_t> Canonical(size_t frames = 10) {
  return MakeWav(TWavSampleFormat::Pcm16, 2, 22050, std::vector<double>(2 * frames, 0.25));
}

TEST(WavReader, ExtremeSampleValuesDecodeExactly) {
  TWavInfo info;
  std::vector<uint8_t> wav = MakeWav(TWavSampleFormat::Pcm24, 1, 8000, {-1.0, 0.5, 0.0});
  ASSERT_TRUE(ParseWav(wav.data(), wav.size(), info));
  std::vector<float> out = DecodeWavFrames(info);
  EXPECT_EQ((std::vector<float>{-1.0f, -1.0f, 0.5f, 0.5f, 0.0f, 0.0f}), out);

  wav = MakeWav(TWavSampleFormat::Pcm8, 2, 8000, {-1.0, 127.0 / 128});
  ASSERT_TRUE(ParseWav(wav.data(), wav.size(), info));
  EXPECT_EQ((std::vector<float>{-1.0f, 127.0f / 128}), DecodeWavFrames(info));

  wav = MakeWav(TWavSampleFormat::Float64, 1, 8000, {0.0});
  double notANumber = std::nan("");
  std::memcpy(&wav[44], &notANumber, 8);
  ASSERT_TRUE(ParseWav(wav.data(), wav.size(), info));
  EXPECT_EQ((std::vector<float>{0.0f, 0.0f}), DecodeWavFrames(info));
}

TEST(WavReader, SkipsOtherChunksAndAcceptsExtensibleFormat) {
  std::vector<uint8_t> wav = Canonical();
  // An odd-sized chunk (with its pad byte) between fmt and data.
  std::vector<uint8_t> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  wav.insert(wav.begin() + 36, list.begin(), list.end());
  TWavInfo info;
  ASSERT_TRUE(ParseWav(wav.data(), wav.size(), info));
  EXPECT_EQ(10u, info.frameCount);
  EXPECT_EQ(22050, info.sampleRate);

  std::vector<uint8_t> ext = Canonical();
  std::vector<uint8_t> extra(24, 0);
  extra[0] = 22;                    // cbSize
  extra[8] = 1;                     // sub-format GUID starts with the PCM tag
  ext.insert(ext.begin() + 36, extra.begin(), extra.end());
  Put32(ext, 16, 40);
  ext[20] = 0xFE, ext[21] = 0xFF;
  ASSERT_TRUE(ParseWav(ext.data(), ext.size(), info));
  EXPECT_EQ(TWavEncoding::Pcm, info.encoding);
  EXPECT_EQ(10u, info.frameCount);
}

TEST(WavReader, RefusesWhatItCannotPlayOrWhatLies) {
  struct TCase {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;
  };
  const TCase cases[] = {
      {"ADPCM", 20, {2, 0}},
      {"three channels", 22, {3, 0}},
      {"rate 0", 24, {0, 0, 0, 0}},
      {"12 bits", 34, {12, 0}},
      {"block align", 32, {3, 0}},
      {"data larger than the file", 40, {41, 0, 0, 0}},
      {"huge data size", 40, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"huge fmt size", 16, {0xF0, 0xFF, 0xFF, 0xFF}},
      {"no data frames", 40, {3, 0, 0, 0}},
      {"data before fmt", 12, {'d', 'a', 't', 'a'}},
      {"not WAVE", 8, {'A', 'V', 'I', ' '}},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> wav = Canonical();
    std::copy(c.bytes.begin(), c.bytes.end(), wav.begin() + c.at);
    TWavInfo info;
    EXPECT_FALSE(ParseWav(wav.data(), wav.size(), info)) << c.what;
  }
  std::vector<uint8_t> wav = Canonical();
  for (size_t cut = 0; cut < wav.size(); ++cut) {
    TWavInfo info;
    EXPECT_FALSE(ParseWav(wav.data(), cut, info)) << cut;
  }
  // A data chunk that ends inside a frame keeps the whole frames.
  Put32(wav, 40, 39);
  TWavInfo info;
  EXPECT_TRUE(ParseWav(wav.data(), wav.size(), info));
  EXPECT_EQ(9u, info.frameCount);
}

TEST(SongFormat, TellsFormatsByContent) {
  std::vector<uint8_t> wav = Canonical();
  EXPECT_EQ(TSongFormat::Wav, DetectSongFormat(wav.data(), wav.size()));
  std::vector<uint8_t> xm = ReadBytes(DemoSong("first-light.xm"));
  EXPECT_EQ(TSongFormat::Module, DetectSongFormat(xm.data(), xm.size()));
  std::vector<uint8_t> ogg = ReadBytes(DemoSong("night-pulse.ogg"));
  EXPECT_EQ(TSongFormat::Vorbis, DetectSongFormat(ogg.data(), ogg.size()));
  const uint8_t text[] = "just some text, not a song at all";
  EXPECT_EQ(TSongFormat::Unknown, DetectSongFormat(text, sizeof text));
  EXPECT_EQ(TSongFormat::Unknown, DetectSongFormat(nullptr, 0));
}

}  // namespace
