#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ModuleIntegrity.h"
#include "SongSource.h"
#include "TestSongFiles.h"

namespace {

void Put(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.at(at + size_t(i)) = uint8_t(value >> (8 * i));
}

// A sample whose data ends the file: `frames` frames, 16-bit and stereo as the flags say.
struct TTinySample {
  bool sixteenBit, stereo;
  uint32_t frames;
  uint32_t Bytes() const { return frames * (sixteenBit ? 2 : 1) * (stereo ? 2 : 1); }
};

void PutSampleData(std::vector<uint8_t>& bytes, size_t at, const TTinySample& sample) {
  bytes.resize(at + sample.Bytes());
  for (uint32_t i = 0; i < sample.Bytes(); ++i) bytes[at + i] = uint8_t(i * 7);
}

// A Scream Tracker 3 module: two channels, one pattern that plays one note, one sample.
// Instrument header at 112, pattern at 192, sample data at 272.
std::vector<uint8_t> TinyS3m(const TTinySample& sample) {
  std::vector<uint8_t> s3m(272, 0);
  std::memcpy(s3m.data(), "tiny", 4);
  s3m[28] = 0x1A, s3m[29] = 16;
  Put(s3m, 32, 2, 2), Put(s3m, 34, 1, 2), Put(s3m, 36, 1, 2);  // orders, instruments, patterns
  Put(s3m, 40, 0x1320, 2), Put(s3m, 42, 2, 2);
  std::memcpy(s3m.data() + 44, "SCRM", 4);
  s3m[48] = 64, s3m[49] = 6, s3m[50] = 125, s3m[51] = 0xB0;
  std::memset(s3m.data() + 64, 255, 32);
  s3m[64] = 0, s3m[65] = 8;
  s3m[96] = 0, s3m[97] = 255;
  Put(s3m, 98, 112 / 16, 2), Put(s3m, 100, 192 / 16, 2);
  s3m[112] = 1;  // a sample
  Put(s3m, 112 + 14, 272 / 16, 2);
  Put(s3m, 112 + 16, sample.frames, 4);
  s3m[112 + 28] = 64;
  s3m[112 + 31] = uint8_t((sample.stereo ? 2 : 0) | (sample.sixteenBit ? 4 : 0));
  Put(s3m, 112 + 32, 8363, 4);
  std::memcpy(s3m.data() + 112 + 76, "SCRS", 4);
  const uint8_t row0[] = {0x20, 0x40, 1, 0};  // channel 0: note and instrument; end of row
  Put(s3m, 192, 2 + sizeof row0 + 63, 2);
  std::memcpy(s3m.data() + 194, row0, sizeof row0);
  PutSampleData(s3m, 272, sample);
  return s3m;
}

// An Impulse Tracker module: one instrument at 208, one sample header at 762, one pattern at 842,
// the sample data at 920.
std::vector<uint8_t> TinyIt(const TTinySample& sample) {
  std::vector<uint8_t> it(920, 0);
  std::memcpy(it.data(), "IMPMtiny", 8);
  Put(it, 0x20, 2, 2), Put(it, 0x22, 1, 2), Put(it, 0x24, 1, 2), Put(it, 0x26, 1, 2);
  Put(it, 0x28, 0x0214, 2), Put(it, 0x2A, 0x0214, 2), Put(it, 0x2C, 1 | 4 | 8, 2);
  it[0x30] = 128, it[0x31] = 48, it[0x32] = 6, it[0x33] = 125, it[0x34] = 128;
  for (int c = 0; c < 64; ++c) it[0x40 + c] = c < 2 ? 32 : 128 + 32, it[0x80 + c] = 64;
  it[0xC0] = 0, it[0xC1] = 255;
  Put(it, 0xC2, 208, 4), Put(it, 0xC6, 762, 4), Put(it, 0xCA, 842, 4);
  std::memcpy(it.data() + 208, "IMPI", 4);
  it[208 + 0x18] = 128, it[208 + 0x19] = 32;
  for (int note = 0; note < 120; ++note) it[208 + 0x40 + 2 * note] = uint8_t(note), it[208 + 0x41 + 2 * note] = 1;
  std::memcpy(it.data() + 762, "IMPS", 4);
  it[762 + 0x11] = 64, it[762 + 0x13] = 64, it[762 + 0x2E] = 1, it[762 + 0x2F] = 32;
  it[762 + 0x12] = uint8_t(1 | (sample.sixteenBit ? 2 : 0) | (sample.stereo ? 4 : 0));
  Put(it, 762 + 0x30, sample.frames, 4), Put(it, 762 + 0x3C, 8363, 4), Put(it, 762 + 0x48, 920, 4);
  const uint8_t row0[] = {0x81, 3, 60, 1, 0};  // channel 0: note and instrument; end of row
  Put(it, 842, sizeof row0 + 63, 2), Put(it, 844, 64, 2);
  std::memcpy(it.data() + 850, row0, sizeof row0);
  PutSampleData(it, 920, sample);
  return it;
}

// A whole file passes and plays; a file cut anywhere after its tag is refused, though libopenmpt
// would play the cut one.
void ExpectWholeAndEveryCut(const std::vector<uint8_t>& module, size_t tagEnd) {
  EXPECT_TRUE(ModuleDataComplete(module.data(), module.size()));
  EXPECT_NE(nullptr, OpenSongSource(module, TRenderSettings())) << "a module libopenmpt plays";
  for (size_t cut = tagEnd; cut < module.size(); ++cut)
    ASSERT_FALSE(ModuleDataComplete(module.data(), cut)) << cut << " of " << module.size();
  std::vector<uint8_t> cut(module.begin(), module.end() - 1);
  EXPECT_EQ(nullptr, OpenSongSource(cut, TRenderSettings()));
}

// A 4-channel ProTracker module: one pattern, one 1000-byte sample.
std::vector<uint8_t> TinyMod() {
  std::vector<uint8_t> mod(1084 + 1024 + 1000, 0);
  std::memcpy(mod.data(), "tiny", 4);
  mod[20 + 22] = 500 >> 8, mod[20 + 23] = 500 & 0xFF;  // length in words
  mod[20 + 25] = 64;                                   // volume
  mod[950] = 1;                                        // one order
  std::memcpy(mod.data() + 1080, "M.K.", 4);
  return mod;
}

TEST(ModuleIntegrity, WholeModulesPass) {
  std::vector<uint8_t> xm = ReadBytes(DemoSong("first-light.xm"));
  EXPECT_TRUE(ModuleDataComplete(xm.data(), xm.size()));
  std::vector<uint8_t> mod = TinyMod();
  EXPECT_TRUE(ModuleDataComplete(mod.data(), mod.size()));
  const uint8_t other[] = "no tracker format we check";
  EXPECT_TRUE(ModuleDataComplete(other, sizeof other));
}

TEST(ModuleIntegrity, EveryCutOfAnXmIsCaught) {
  std::vector<uint8_t> xm = ReadBytes(DemoSong("first-light.xm"));
  for (size_t cut = 17; cut < xm.size(); cut += 1 + cut / 50)
    ASSERT_FALSE(ModuleDataComplete(xm.data(), cut)) << cut << " of " << xm.size();
  ASSERT_FALSE(ModuleDataComplete(xm.data(), xm.size() - 1));
}

TEST(ModuleIntegrity, ModMissingPatternsOrSamplesIsCaught) {
  std::vector<uint8_t> mod = TinyMod();
  EXPECT_TRUE(ModuleDataComplete(mod.data(), mod.size() - 400)) << "a slightly short last sample";
  EXPECT_FALSE(ModuleDataComplete(mod.data(), mod.size() - 900));
  EXPECT_FALSE(ModuleDataComplete(mod.data(), 1084 + 1000));
  mod[952] = 5;  // an order names pattern 5, which is not there
  EXPECT_FALSE(ModuleDataComplete(mod.data(), mod.size()));
}

TEST(ModuleIntegrity, LyingXmCountsEndQuickly) {
  std::vector<uint8_t> xm = ReadBytes(DemoSong("first-light.xm"));
  xm[72] = 0xFF, xm[73] = 0xFF;  // 65535 instruments
  EXPECT_FALSE(ModuleDataComplete(xm.data(), xm.size()));
}

// Where each format keeps what the checks read: the sample's length in frames (4 bytes), the
// pattern's packed length (2 bytes), and the pointer to the instrument header.
struct TTinyFormat {
  const char* name;
  std::vector<uint8_t> (*make)(const TTinySample&);
  size_t tagEnd, sampleLengthAt, patternLengthAt, instrumentPointerAt;
  int pointerWidth;
  uint32_t pointerUnit;
};

TEST(ModuleIntegrity, S3mAndItWholeOrCutOrLying) {
  const TTinyFormat formats[] = {{"s3m", TinyS3m, 48, 112 + 16, 192, 98, 2, 16},
                                 {"it", TinyIt, 4, 762 + 0x30, 842, 0xC2, 4, 1}};
  for (const TTinyFormat& format : formats) {
    for (TTinySample sample : {TTinySample{false, false, 1000}, TTinySample{true, true, 250}}) {
      SCOPED_TRACE(std::string(format.name) + " " + std::to_string(sample.frames));
      const std::vector<uint8_t> module = format.make(sample);
      ExpectWholeAndEveryCut(module, format.tagEnd);
      const uint32_t size = uint32_t(module.size());
      std::vector<uint8_t> lying = module;
      Put(lying, format.sampleLengthAt, sample.frames + 1, 4);  // one frame more than the file holds
      EXPECT_FALSE(ModuleDataComplete(lying.data(), lying.size()));
      lying = module;
      Put(lying, format.patternLengthAt, size, 2);  // a pattern running past the end
      EXPECT_FALSE(ModuleDataComplete(lying.data(), lying.size()));
      lying = module;
      Put(lying, format.instrumentPointerAt, (size - 60) / format.pointerUnit, format.pointerWidth);
      EXPECT_FALSE(ModuleDataComplete(lying.data(), lying.size())) << "an instrument cut short by the end";
    }
  }
}

}  // namespace
