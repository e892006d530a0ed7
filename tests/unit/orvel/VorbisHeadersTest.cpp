#include <gtest/gtest.h>

#include <algorithm>

#include "TestSongFiles.h"
#include "VorbisHeaders.h"

namespace {

TEST(VorbisHeaders, WholeStreamPassesAndEveryCutBeforeTheCommentsFails) {
  std::vector<uint8_t> ogg = ReadBytes(DemoSong("night-pulse.ogg"));
  ASSERT_TRUE(VorbisHeadersSound(ogg.data(), ogg.size()));
  // Sound from the end of the page that holds the comment header on.
  size_t firstWhole = 0;
  for (size_t cut = 0; cut < 20000 && !firstWhole; ++cut)
    if (VorbisHeadersSound(ogg.data(), cut)) firstWhole = cut;
  EXPECT_GT(firstWhole, 58u);
  for (size_t cut = firstWhole; cut < firstWhole + 50; ++cut) EXPECT_TRUE(VorbisHeadersSound(ogg.data(), cut));
}

TEST(VorbisHeaders, CountsThatOverrunTheHeaderFail) {
  std::vector<uint8_t> ogg = ReadBytes(DemoSong("night-pulse.ogg"));
  for (uint32_t count : {1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    std::vector<uint8_t> lying = WithVorbisCommentField(ogg, TVorbisCommentField::CommentCount, count);
    EXPECT_FALSE(VorbisHeadersSound(lying.data(), lying.size())) << count;
  }
  std::vector<uint8_t> lying = WithVorbisCommentField(ogg, TVorbisCommentField::VendorLength, 0xFFFFFFF0);
  EXPECT_FALSE(VorbisHeadersSound(lying.data(), lying.size()));
  std::vector<uint8_t> notOgg(1000, 'x');
  EXPECT_FALSE(VorbisHeadersSound(notOgg.data(), notOgg.size()));
}

// A forged first codebook with more entries than any encoder writes: the decoder would spend seconds
// building and sorting its codewords.
TEST(VorbisHeaders, CodebooksPastWhatEncodersWriteFail) {
  std::vector<uint8_t> ogg = ReadBytes(DemoSong("night-pulse.ogg"));
  static const uint8_t tag[] = {5, 'v', 'o', 'r', 'b', 'i', 's'};
  const size_t entries = size_t(std::search(ogg.begin(), ogg.end(), std::begin(tag), std::end(tag)) - ogg.begin()) + 13;
  ASSERT_LT(entries + 3, ogg.size());
  for (uint32_t count : {300000u, 0xFFFFFFu}) {
    std::vector<uint8_t> forged = ogg;
    for (int i = 0; i < 3; ++i) forged[entries + i] = uint8_t(count >> (8 * i));
    EXPECT_FALSE(VorbisHeadersSound(forged.data(), forged.size())) << count;
  }
}

}  // namespace
