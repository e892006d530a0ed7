#include <gtest/gtest.h>

#include <cstring>

#include "ModuleIntegrity.h"
#include "TestSongFiles.h"

namespace {

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

}  // namespace
