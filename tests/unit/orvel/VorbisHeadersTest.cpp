#include <gtest/gtest.h>

#include "TestSongFiles.h"
#include "VorbisHeaders.h"

namespace {

TEST(VorbisHeaders, WholeStreamPassesAndEveryCutBeforeTheCommentsFails) {
  std::vector<uint8_t> ogg = ReadBytes(DemoSong("night-pulse.ogg"));
  ASSERT_TRUE(VorbisCommentHeaderSound(ogg.data(), ogg.size()));
  // Sound from the end of the page that holds the comment header on.
  size_t firstWhole = 0;
  for (size_t cut = 0; cut < 20000 && !firstWhole; ++cut)
    if (VorbisCommentHeaderSound(ogg.data(), cut)) firstWhole = cut;
  EXPECT_GT(firstWhole, 58u);
  for (size_t cut = firstWhole; cut < firstWhole + 50; ++cut) EXPECT_TRUE(VorbisCommentHeaderSound(ogg.data(), cut));
}

TEST(VorbisHeaders, CountsThatOverrunTheHeaderFail) {
  std::vector<uint8_t> ogg = ReadBytes(DemoSong("night-pulse.ogg"));
  for (uint32_t count : {1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    std::vector<uint8_t> lying = WithVorbisCommentField(ogg, TVorbisCommentField::CommentCount, count);
    EXPECT_FALSE(VorbisCommentHeaderSound(lying.data(), lying.size())) << count;
  }
  std::vector<uint8_t> lying = WithVorbisCommentField(ogg, TVorbisCommentField::VendorLength, 0xFFFFFFF0);
  EXPECT_FALSE(VorbisCommentHeaderSound(lying.data(), lying.size()));
  std::vector<uint8_t> notOgg(1000, 'x');
  EXPECT_FALSE(VorbisCommentHeaderSound(notOgg.data(), notOgg.size()));
}

}  // namespace
