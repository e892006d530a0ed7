// The archive object under Wine: lookup, the IStream it is, and malformed archives.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "vfs/VfsArchiveWriter.h"
#include "tests/support/BoxWatcher.h"
#include "tests/support/Pictures.h"
#include "tests/support/TempFolder.h"
#include "vfs/VfsFile.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7);
  return v;
}

std::vector<uint8_t> ReadStream(IStream* s, ULONG n, HRESULT* hr = nullptr) {
  std::vector<uint8_t> buf(n);
  ULONG got = 0xDEAD;
  HRESULT r = s->Read(buf.data(), n, &got);
  if (hr) *hr = r;
  buf.resize(got);
  return buf;
}

uint64_t SeekTo(IStream* s, int64_t move, DWORD origin) {
  LARGE_INTEGER d;
  d.QuadPart = move;
  ULARGE_INTEGER pos;
  pos.QuadPart = 0xABABABABABABABABull;
  EXPECT_EQ(s->Seek(d, origin, &pos), S_OK);
  return pos.QuadPart;
}

class ArchiveTest : public ::testing::Test {
protected:
  const std::vector<uint8_t> first = Pattern(500, 1);
  const std::vector<uint8_t> second = Pattern(100, 99);
  std::vector<uint8_t> image;
  TTempFolder temp;
  std::string path;
  TVfsFile* vfs = nullptr;

  void SetUp() override {
    image = VfsBuildArchive({{"first.bin", first}, {"Second.bin", second}, {"FIRST.BIN", Pattern(3, 0)}});
    path = temp.Write("archive.vfs", image);
    vfs = new TVfsFile(path.c_str());
  }
  void TearDown() override { delete vfs; }
  std::vector<uint8_t> Tail(size_t from) { return std::vector<uint8_t>(image.begin() + from, image.end()); }
  size_t DataStart() const { return VfsHeaderSize(image.data()); }
};

}  // namespace

TEST_F(ArchiveTest, LookupIgnoresCaseAndTheFirstRecordWins) {
  ASSERT_TRUE(vfs->SelectEntry("FIRST.bin"));
  EXPECT_EQ(ReadStream(vfs, 500), first);  // not the later "FIRST.BIN" record
  ASSERT_TRUE(vfs->SelectEntry("second.BIN"));
  EXPECT_EQ(ReadStream(vfs, 100), second);
  EXPECT_FALSE(vfs->SelectEntry("second"));
  EXPECT_FALSE(vfs->SelectEntry("second.bin "));
}

TEST_F(ArchiveTest, FailedLookupKeepsSelectionAndPosition) {
  ASSERT_TRUE(vfs->SelectEntry("first.bin"));
  ReadStream(vfs, 10);
  EXPECT_FALSE(vfs->SelectEntry("missing.png"));
  EXPECT_EQ(ReadStream(vfs, 5), std::vector<uint8_t>(first.begin() + 10, first.begin() + 15));
  STATSTG st;
  vfs->Stat(&st, STATFLAG_DEFAULT);
  EXPECT_EQ(st.cbSize.QuadPart, 500u);
  EXPECT_EQ(SeekTo(vfs, 0, STREAM_SEEK_CUR), 15u);
}

TEST_F(ArchiveTest, ReadsRunPastTheEntryUntilTheEndOfTheFile) {
  ASSERT_TRUE(vfs->SelectEntry("first.bin"));
  EXPECT_EQ(ReadStream(vfs, 4000), Tail(DataStart()));  // the entry, then the next entries' bytes
  HRESULT hr = E_FAIL;
  EXPECT_TRUE(ReadStream(vfs, 10, &hr).empty());
  EXPECT_EQ(hr, S_OK);
  ULONG got = 77;
  uint8_t byte;
  EXPECT_EQ(vfs->Read(&byte, 1, &got), S_OK);
  EXPECT_EQ(got, 0u);
}

TEST_F(ArchiveTest, SeekMeasuresFromTheEntryForEveryOrigin) {
  ASSERT_TRUE(vfs->SelectEntry("second.bin"));
  EXPECT_EQ(SeekTo(vfs, 0, STREAM_SEEK_END), 100u);
  EXPECT_EQ(ReadStream(vfs, 3), Pattern(3, 0));  // the file stands just after the entry
  EXPECT_EQ(SeekTo(vfs, -8, STREAM_SEEK_END), 92u);
  EXPECT_EQ(ReadStream(vfs, 8), std::vector<uint8_t>(second.end() - 8, second.end()));
  EXPECT_EQ(SeekTo(vfs, 0, STREAM_SEEK_SET), 0u);
  EXPECT_EQ(ReadStream(vfs, 10), std::vector<uint8_t>(second.begin(), second.begin() + 10));
  EXPECT_EQ(SeekTo(vfs, -4, STREAM_SEEK_CUR), 6u);
  EXPECT_EQ(SeekTo(vfs, -1, STREAM_SEEK_CUR), 5u);  // high half all ones: still back one byte
  EXPECT_EQ(ReadStream(vfs, 1), std::vector<uint8_t>{second[5]});
  // The high half of the displacement is ignored.
  EXPECT_EQ(SeekTo(vfs, (int64_t(7) << 32) + 20, STREAM_SEEK_SET), 20u);
  EXPECT_EQ(ReadStream(vfs, 1), std::vector<uint8_t>{second[20]});
}

TEST_F(ArchiveTest, UnknownOriginReportsTheDisplacementAndMovesNothing) {
  ASSERT_TRUE(vfs->SelectEntry("first.bin"));
  ReadStream(vfs, 3);
  EXPECT_EQ(SeekTo(vfs, 0x123456789LL, 3), 0x123456789ull);
  EXPECT_EQ(ReadStream(vfs, 2), std::vector<uint8_t>(first.begin() + 3, first.begin() + 5));
}

TEST_F(ArchiveTest, RefusedMoveLeavesTheFileWhereItWas) {
  ASSERT_TRUE(vfs->SelectEntry("second.bin"));
  ReadStream(vfs, 4);
  const int32_t start = int32_t(DataStart() + first.size());
  EXPECT_EQ(SeekTo(vfs, -(start + 1), STREAM_SEEK_SET), uint32_t(INVALID_SET_FILE_POINTER - start));
  EXPECT_EQ(ReadStream(vfs, 1), std::vector<uint8_t>{second[4]});
}

TEST_F(ArchiveTest, StatReportsTheEntrySizeAndNoName) {
  ASSERT_TRUE(vfs->SelectEntry("first.bin"));
  STATSTG st;
  memset(&st, 0xCC, sizeof st);
  EXPECT_EQ(vfs->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.pwcsName, nullptr);
  EXPECT_EQ(st.type, DWORD(STGTY_STREAM));
  EXPECT_EQ(st.cbSize.QuadPart, 500u);
}

TEST_F(ArchiveTest, ComSlotsDestroyNothingAndRefuseWhatReadingCannotDo) {
  ASSERT_TRUE(vfs->SelectEntry("first.bin"));
  EXPECT_EQ(vfs->AddRef(), 1u);
  EXPECT_EQ(vfs->Release(), 0u);
  EXPECT_EQ(ReadStream(vfs, 2), std::vector<uint8_t>(first.begin(), first.begin() + 2));  // still usable

  void* out = nullptr;
  EXPECT_EQ(vfs->QueryInterface(IID_IStream, &out), S_OK);
  EXPECT_EQ(out, static_cast<IStream*>(vfs));
  EXPECT_EQ(vfs->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(vfs->Release(), 1u);  // both answers took a reference
  out = &out;
  EXPECT_EQ(vfs->QueryInterface(IID_ISequentialStream, &out), E_NOINTERFACE);
  EXPECT_EQ(out, &out);

  // What a read-only stream cannot do it refuses, leaving no count or pointer unset.
  ULONG written = 55;
  const char data[100] = {};
  EXPECT_EQ(vfs->Write(data, 100, &written), STG_E_ACCESSDENIED);
  EXPECT_EQ(written, 0u);
  IStream* clone = reinterpret_cast<IStream*>(&written);
  EXPECT_EQ(vfs->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(clone, nullptr);
  ULARGE_INTEGER n = {}, copiedIn, copiedOut;
  copiedIn.QuadPart = copiedOut.QuadPart = 77;
  EXPECT_EQ(vfs->CopyTo(vfs, n, &copiedIn, &copiedOut), E_NOTIMPL);
  EXPECT_EQ(copiedIn.QuadPart + copiedOut.QuadPart, 0u);
  EXPECT_EQ(vfs->SetSize(n), STG_E_ACCESSDENIED);
  EXPECT_EQ(vfs->Commit(0), S_OK);
  EXPECT_EQ(vfs->Revert(), S_OK);
  EXPECT_EQ(vfs->LockRegion(n, n, 0), S_OK);
  EXPECT_EQ(vfs->UnlockRegion(n, n, 0), S_OK);
  EXPECT_EQ(ReadStream(vfs, 1), std::vector<uint8_t>{first[2]});  // and the file did not move
}

TEST(ArchiveOpen, MissingFileReportsAndLeavesAnEmptyArchive) {
  TBoxWatcher watcher;
  TVfsFile vfs("no-such-archive.vfs");
  EXPECT_EQ(watcher.Seen(),
            std::vector<std::string>{"Error|Cannot open file: no-such-archive.vfs \nError code:2(2)"});
  EXPECT_EQ(watcher.Icons(), std::vector<std::string>{"error"});
  EXPECT_FALSE(vfs.SelectEntry("pic.png"));
  EXPECT_EQ(ReadStream(&vfs, 16), std::vector<uint8_t>{});
  STATSTG st;
  vfs.Stat(&st, STATFLAG_DEFAULT);
  EXPECT_EQ(st.cbSize.QuadPart, 0u);
}

TEST(ArchiveOpen, OpenFailureTextIsCutTo99Characters) {
  const std::string longName = "dir\\" + std::string(120, 'n') + ".vfs";
  TBoxWatcher watcher;
  TVfsFile vfs(longName.c_str());
  EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|" + ("Cannot open file: " + longName).substr(0, 99)});
}

// A sharing violation is code 32: decimal first, then hexadecimal.
TEST(ArchiveOpen, ErrorCodeShowsInDecimalAndHexadecimal) {
  TTempFolder temp;
  const std::string p = temp.Write("locked.vfs", VfsBuildArchive({{"a", {1}}}));
  HANDLE exclusive = CreateFileA(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  {
    TBoxWatcher watcher;
    TVfsFile vfs(p.c_str());
    EXPECT_EQ(watcher.Seen(), std::vector<std::string>{"Error|Cannot open file: " + p + " \nError code:32(20)"});
  }
  CloseHandle(exclusive);
}

TEST(ArchiveOpen, MalformedArchivesOpenWithoutHarm) {
  auto good = VfsBuildArchive({{"a.png", Pattern(50, 3)}, {"b.png", Pattern(20, 5)}});
  auto withHeaderSize = [&](uint32_t h) {
    auto v = good;
    for (int i = 0; i < 4; ++i) v[4 + i] = uint8_t(h >> (8 * i));
    return v;
  };
  auto noTerminator = good;
  memset(&noTerminator[8], 'z', 32);
  auto pastEnd = good;
  pastEnd[8 + 32] = 0xF0;  // a.png's offset far beyond the end
  pastEnd[8 + 32 + 3] = 0x7F;
  auto truncatedDirectory = std::vector<uint8_t>(good.begin(), good.begin() + 8 + 40 + 13);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int findable;  // how many of a.png, b.png can still be selected
  } cases[] = {
      {"empty", {}, 0},
      {"three bytes", {1, 2, 3}, 0},
      {"seven bytes", std::vector<uint8_t>(good.begin(), good.begin() + 7), 0},
      {"header size 0", withHeaderSize(0), 0},
      {"header size 7", withHeaderSize(7), 0},
      {"header size past the end", withHeaderSize(0xFFFFFFF0u), 2},
      {"header size just past the end", withHeaderSize(uint32_t(good.size() + 1)), 2},
      {"short directory", truncatedDirectory, 1},
      {"name without terminator", noTerminator, 1},
      {"entry past the end", pastEnd, 2},
  };
  TTempFolder temp;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string p = temp.Write("malformed.vfs", c.bytes);
    {
      TVfsFile vfs(p.c_str());
      int found = 0;
      for (const char* n : {"a.png", "b.png"}) {
        if (!vfs.SelectEntry(n)) continue;
        ++found;
        ReadStream(&vfs, 4096);
        SeekTo(&vfs, -4, STREAM_SEEK_END);
        STATSTG st;
        vfs.Stat(&st, STATFLAG_DEFAULT);
      }
      EXPECT_EQ(found, c.findable);
      EXPECT_FALSE(vfs.SelectEntry(std::string(40, 'z').c_str()));
    }
  }
}

TEST(ArchivePictures, GdiPlusDecodesAnEntryStraightFromTheStream) {
  TGdiplusSession gdiplus;
  const TPixels pixels = MakePixels(7, 5, [](uint32_t x, uint32_t y) -> uint32_t {
    const uint32_t i = y * 7 + x;
    return (i % 3 == 0) ? 0 : (0x40 + i * 5) << 24 | (i * 0x0A0B0C & 0xFFFFFF);
  });
  const std::vector<uint8_t> png = EncodePng(pixels);
  ASSERT_GT(png.size(), 8u);
  const std::vector<uint8_t> other = EncodePng(MakePixels(3, 3, [](uint32_t, uint32_t) { return 0xFF00FF00u; }));
  TTempFolder temp;
  const std::string p = temp.Write("pictures.vfs",
                                   VfsBuildArchive({{"before.bin", Pattern(33, 1)}, {"Pic.png", png},
                                                    {"other.png", other}}));
  {
    TVfsFile vfs(p.c_str());
    ASSERT_TRUE(vfs.SelectEntry("pic.png"));
    GpBitmap* decoded = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromStreamICM(&vfs, &decoded), Ok);
    // The stream moves on to the next picture before the first one is looked at.
    ASSERT_TRUE(vfs.SelectEntry("other.png"));
    GpBitmap* next = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromStreamICM(&vfs, &next), Ok);
    GdipDisposeImage(next);
    UINT w = 0, h = 0;
    GdipGetImageWidth(decoded, &w);
    GdipGetImageHeight(decoded, &h);
    EXPECT_EQ(w, pixels.width);
    EXPECT_EQ(h, pixels.height);
    for (uint32_t y = 0; y < pixels.height; ++y)
      for (uint32_t x = 0; x < pixels.width; ++x) {
        ARGB got = 0;
        GdipBitmapGetPixel(decoded, INT(x), INT(y), &got);
        const uint32_t want = pixels.At(x, y);
        if ((want >> 24) == 0) EXPECT_EQ(got >> 24, 0u) << x << "," << y;
        else EXPECT_EQ(got, want) << x << "," << y;
      }
    GdipDisposeImage(decoded);
  }
}
