#include <gtest/gtest.h>

#include <cstring>

#include "vfs/VfsArchiveWriter.h"

namespace {

void SetLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

int32_t Count(const std::vector<uint8_t>& b) { return VfsEntryCount(VfsHeaderSize(b.data()), b.size()); }

}  // namespace

TEST(VfsDirectory, LookupIgnoresAsciiCaseOnlyAndFirstRecordWins) {
  auto a = VfsBuildArchive({{"pic.png", {1}}, {"Button1.PNG", {2}}, {"PIC.png", {3}}, {"\xC4.png", {4}}});
  const int32_t n = Count(a);
  ASSERT_EQ(n, 4);
  // Only A-Z fold: a Latin-1 capital does not match its small letter.
  const std::pair<const char*, int32_t> lookups[] = {{"PIC.PNG", 0}, {"button1.png", 1}, {"pic.pn", -1}, {"pic.pngx", -1},
                                                      {"", -1},       {"\xC4.png", 3},     {"\xE4.png", -1}};
  for (const auto& [name, index] : lookups) EXPECT_EQ(VfsFindEntry(a.data(), n, name), index) << name;
  // Case folding is ASCII letters only: '[' (0x5B) is not 'z' + 1.
  auto b = VfsBuildArchive({{"a[b", {}}});
  EXPECT_EQ(VfsFindEntry(b.data(), 1, "A{B"), -1);
  EXPECT_EQ(VfsFindEntry(b.data(), 1, "A[B"), 0);
}

TEST(VfsDirectory, RecordsAndCounts) {
  auto a = VfsBuildArchive({{"one", {1, 2, 3}}, {"two", {4, 5}}, {"three", {}}});
  ASSERT_EQ(Count(a), 3);
  TVfsRecord r = VfsRecordAt(a.data(), 1);
  EXPECT_EQ(VfsRecordName(r), "two");
  EXPECT_EQ(r.offset, 3u);
  EXPECT_EQ(r.size, 2u);
  EXPECT_EQ(VfsHeaderSize(a.data()), 8u + 3 * 40);
  EXPECT_EQ(a[VfsHeaderSize(a.data()) + r.offset], 4);

  // 17 extra directory bytes: a partial record that is ignored.
  EXPECT_EQ(VfsEntryCount(8 + 40 * 3 + 17, 10000), 3);
  EXPECT_EQ(VfsEntryCount(8, 10000), 0);
  // A headerSize below 8 means no entries, never a huge unsigned count.
  EXPECT_EQ(VfsEntryCount(0, 10000), 0);
  EXPECT_EQ(VfsEntryCount(7, 10000), 0);
  // A short read counts only the records that actually arrived.
  EXPECT_EQ(VfsEntryCount(8 + 40 * 3, 8 + 40 * 2 + 39), 2);
  EXPECT_EQ(VfsEntryCount(0xFFFFFFFFu, 4), 0);
}

TEST(VfsDirectory, NameFieldWithoutTerminatorComparesOverItsThirtyTwoBytes) {
  auto a = VfsBuildArchive({{"x", {}}, {"after", {}}});
  std::memset(&a[8], 'q', 32);  // record 0's name: 32 'q's, no NUL
  std::string full(32, 'q');
  EXPECT_EQ(VfsFindEntry(a.data(), 2, full.c_str()), 0);
  EXPECT_EQ(VfsFindEntry(a.data(), 2, std::string(32, 'Q').c_str()), 0);
  EXPECT_EQ(VfsFindEntry(a.data(), 2, std::string(31, 'q').c_str()), -1);
  // Longer names would have compared into the offset field: they must not match.
  EXPECT_EQ(VfsFindEntry(a.data(), 2, (full + "r").c_str()), -1);
  EXPECT_EQ(VfsRecordName(VfsRecordAt(a.data(), 0)), full);
  EXPECT_EQ(VfsFindEntry(a.data(), 2, "after"), 1);
}

TEST(VfsDirectory, BytesAfterTheTerminatorAreIgnored) {
  auto a = VfsBuildArchive({{"pic.png", {9}}});
  std::memcpy(&a[8 + 8], "garbage", 7);  // after "pic.png\0"
  EXPECT_EQ(VfsFindEntry(a.data(), 1, "pic.png"), 0);
  SetLe32(a, 0, 0xDEADBEEF);  // the first header word is never looked at
  EXPECT_EQ(Count(a), 1);
  EXPECT_EQ(VfsFindEntry(a.data(), 1, "PIC.PNG"), 0);
}
