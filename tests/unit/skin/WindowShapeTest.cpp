#include "SkinTestSupport.h"

#include "app/PlayerWnd.h"
#include "skin/WindowShape.h"
#include "tests/support/TempFolder.h"
#include "vfs/VfsArchiveWriter.h"
#include "vfs/VfsFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <random>

namespace {

const uint32_t Width = 40;
const uint32_t Height = 30;
const uint32_t ClearRow = 12;

// Rounded corners with a few alpha-1 pixels inside them, a fully transparent row, a notch at the
// right edge, and some half-transparent pixels that must stay inside the window.
uint32_t Outline(uint32_t x, uint32_t y) {
  const uint32_t colour = (x * 6) << 16 | (y * 8) << 8 | 0x40;
  if (y == ClearRow) return colour;
  if ((x == 1 && y == 1) || (x == 38 && y == 2) || (x == 0 && y == 29)) return 0x01000000 | colour;
  if (x >= 35 && y >= 20 && y < 25) return colour;
  if (x == 20) return 0x80000000 | colour;
  const int r = 6;
  const int cx = std::min(std::max(int(x), r), int(Width) - 1 - r);
  const int cy = std::min(std::max(int(y), r), int(Height) - 1 - r);
  const int dx = int(x) - cx, dy = int(y) - cy;
  return dx * dx + dy * dy <= r * r ? 0xFF000000 | colour : colour;
}

// The points of a region, pixel by pixel, from GetRegionData.
std::vector<uint8_t> RegionBytes(HRGN region) {
  std::vector<uint8_t> bytes(GetRegionData(region, 0, nullptr));
  GetRegionData(region, DWORD(bytes.size()), reinterpret_cast<RGNDATA*>(bytes.data()));
  return bytes;
}

std::vector<bool> RegionMask(HRGN region, uint32_t width, uint32_t height, RECT* bounds) {
  std::vector<bool> inside(size_t(width) * height, false);
  std::vector<uint8_t> buffer = RegionBytes(region);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  *bounds = data->rdh.rcBound;
  const RECT* rects = reinterpret_cast<const RECT*>(data->Buffer);
  for (DWORD i = 0; i < data->rdh.nCount; ++i)
    for (LONG y = std::max(rects[i].top, 0L); y < std::min(rects[i].bottom, LONG(height)); ++y)
      for (LONG x = std::max(rects[i].left, 0L); x < std::min(rects[i].right, LONG(width)); ++x)
        inside[size_t(y) * width + size_t(x)] = true;
  return inside;
}

// The outline as it was first built: the whole rectangle, each run cut out by an exclusive-or.
HRGN CutRunByRun(uint32_t width, uint32_t height, const std::vector<TTransparentRun>& runs) {
  HRGN region = CreateRectRgn(0, 0, int(width), int(height));
  for (const TTransparentRun& run : runs) {
    HRGN cut = CreateRectRgn(run.firstColumn, run.row, run.endColumn, run.row + 1);
    CombineRgn(region, region, cut, RGN_XOR);
    DeleteObject(cut);
  }
  return region;
}

class WindowShapeTest : public testing::Test {
protected:
  void SetUp() override {
    CoInitialize(nullptr);
    OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
    GetVersionExA(&OsVersion);
    // The win98 prefix run says which version it must see, so that it cannot pass on the wrong one.
    if (const char* expected = getenv("MD_EXPECT_MAJOR")) {
      ASSERT_EQ(OsVersion.dwMajorVersion, DWORD(atoi(expected)));
    }
  }
  void TearDown() override {
    Archive = nullptr;
    CoUninitialize();
  }

  std::unique_ptr<TPlayerWnd> OpenWindow(const std::vector<TVfsInput>& entries,
                                         const char* selectedFirst = nullptr) {
    archive.reset();
    archive.emplace(temp.Write("archive.vfs", VfsBuildArchive(entries)).c_str());
    Archive = &*archive;
    if (selectedFirst) archive->SelectEntry(selectedFirst);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (IsLayeredOs())
      return std::unique_ptr<TPlayerWnd>(new TPlayerWnd(instance, InitWindowShape, FreeWindowShape));
    return std::unique_ptr<TPlayerWnd>(new TPlayerWndClassic(instance, InitWindowShape, FreeWindowShape));
  }

  TGdiplusSession gdiplus;
  TTempFolder temp;
  std::optional<TVfsFile> archive;
};

TEST_F(WindowShapeTest, WindowTakesThePicturesSizeOutlineAndSurface) {
  const TPixels pixels = MakePixels(Width, Height, Outline);
  std::unique_ptr<TPlayerWnd> window =
      OpenWindow({{"readme.txt", {'h', 'i'}}, {"PIC.png", EncodePng(pixels)}});
  const HWND hwnd = window->GetHandle();
  ASSERT_NE(hwnd, nullptr);

  EXPECT_EQ(WindowBox(hwnd), (std::array<LONG, 4>{100, 100, LONG(Width), LONG(Height)}));
  EXPECT_TRUE(IsWindowVisible(hwnd));

  // The region holds exactly the pixels whose alpha is not 0, alpha 1 included.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(hwnd, region), COMPLEXREGION);
  RECT bounds;
  std::vector<bool> inside = RegionMask(region, Width, Height, &bounds);
  DeleteObject(region);
  EXPECT_TRUE(bounds.left >= 0 && bounds.top >= 0 && bounds.right <= LONG(Width) && bounds.bottom <= LONG(Height));
  for (uint32_t y = 0; y < Height; ++y)
    for (uint32_t x = 0; x < Width; ++x)
      EXPECT_EQ(inside[size_t(y) * Width + x], (pixels.At(x, y) >> 24) != 0) << x << "," << y;

  const bool layered = (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  EXPECT_EQ(layered, OsVersion.dwMajorVersion >= 5);

  // The back buffer holds the picture over transparent black, clipped to the whole rectangle.
  ASSERT_NE(BackBuffer, nullptr);
  ASSERT_NE(SkinBitmap, nullptr);
  EXPECT_EQ(GetCurrentObject(BackBuffer, OBJ_BITMAP), SkinBitmap);
  DIBSECTION dib = {};
  ASSERT_EQ(GetObjectA(SkinBitmap, sizeof dib, &dib), int(sizeof dib));
  ASSERT_EQ(dib.dsBm.bmBitsPixel, 32);
  const bool bottomUp = dib.dsBmih.biHeight > 0;
  for (uint32_t y = 0; y < Height; ++y)
    for (uint32_t x = 0; x < Width; ++x) {
      const uint32_t row = bottomUp ? Height - 1 - y : y;
      const uint32_t stored = static_cast<const uint32_t*>(dib.dsBm.bmBits)[row * Width + x];
      const uint32_t alpha = pixels.At(x, y) >> 24;
      if (alpha == 0 || alpha == 255) {
        EXPECT_EQ(stored, Premultiplied(pixels.At(x, y))) << x << "," << y;
      }
    }
  HRGN clip = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetClipRgn(BackBuffer, clip), 1);
  RECT clipBox;
  EXPECT_EQ(GetRgnBox(clip, &clipBox), SIMPLEREGION);
  EXPECT_EQ(clipBox.right, LONG(Width));
  EXPECT_EQ(clipBox.bottom, LONG(Height));
  DeleteObject(clip);
}

// Built in one call, the outline is the very region that cutting run by run gave, rectangle for
// rectangle, on every kind of picture: dithered, striped, random, clear, opaque, one pixel wide.
TEST(WindowOutline, OneCallGivesTheRegionThatCuttingRunByRunGave) {
  std::mt19937 random(19);
  const std::vector<std::pair<std::string, TPixels>> pictures = {
      {"outline", MakePixels(Width, Height, Outline)},
      {"dithered inside a frame", MakePixels(150, 90, [](uint32_t x, uint32_t y) -> uint32_t {
         const bool frame = x < 3 || y < 3 || x >= 147 || y >= 87;
         return frame || (x + y) % 2 ? 0xFF102030 : 0;
       })},
      {"dithered 2 by 2", MakePixels(64, 64, [](uint32_t x, uint32_t y) -> uint32_t {
         return (x / 2 + y / 2) % 2 ? 0xFF000000u : 0u;
       })},
      {"vertical stripes", MakePixels(33, 20, [](uint32_t x, uint32_t) -> uint32_t { return x % 3 ? 0xFF000000u : 0u; })},
      {"clear", MakePixels(7, 5, [](uint32_t, uint32_t) -> uint32_t { return 0; })},
      {"opaque", MakePixels(7, 5, [](uint32_t, uint32_t) -> uint32_t { return 0x01000000; })},
      {"one pixel wide", MakePixels(1, 9, [](uint32_t, uint32_t y) -> uint32_t { return y % 3 ? 0xFF000000u : 0u; })},
      {"empty", MakePixels(0, 0, nullptr)},
  };
  std::vector<std::pair<std::string, TPixels>> all = pictures;
  for (int round = 0; round < 30; ++round) {
    TPixels noise;
    noise.width = 1 + random() % 40;
    noise.height = 1 + random() % 30;
    for (uint32_t i = 0; i < noise.width * noise.height; ++i)
      noise.argb.push_back(random() % 3 ? 0xFF000000u * (random() % 2) : 0x01000000u);
    all.push_back({"random " + std::to_string(round), noise});
  }
  for (const auto& picture : all) {
    SCOPED_TRACE(picture.first);
    const TPixels& p = picture.second;
    const std::vector<TTransparentRun> runs = ScanTransparentRuns(
        reinterpret_cast<const uint8_t*>(p.argb.data()), p.width, p.height, int32_t(p.width * 4));
    HRGN before = CutRunByRun(p.width, p.height, runs);
    HRGN now = CreateOutlineRegion(p.width, p.height, runs);
    ASSERT_NE(now, nullptr);
    EXPECT_TRUE(EqualRgn(before, now));
    EXPECT_EQ(RegionBytes(before), RegionBytes(now));
    DeleteObject(before);
    DeleteObject(now);
  }
}

TEST_F(WindowShapeTest, PresentKeepsTheWindowWhereItIsOrOnlyInvalidates) {
  std::unique_ptr<TPlayerWnd> window =
      OpenWindow({{"pic.png", EncodePng(MakePixels(Width, Height, Outline))}});
  const HWND hwnd = window->GetHandle();
  if (IsLayeredOs()) {
    SetWindowPos(hwnd, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(window->Present(BackBuffer));
    EXPECT_EQ(WindowBox(hwnd), (std::array<LONG, 4>{300, 200, LONG(Width), LONG(Height)}));
    EXPECT_TRUE(window->PresentRect(BackBuffer, {2, 3, 10, 12}));
    EXPECT_EQ(WindowBox(hwnd), (std::array<LONG, 4>{300, 200, LONG(Width), LONG(Height)}));
  } else {
    UpdateWindow(hwnd);
    ValidateRect(hwnd, nullptr);
    RECT pending;
    EXPECT_FALSE(GetUpdateRect(hwnd, &pending, FALSE));
    window->PresentRect(BackBuffer, {2, 3, 10, 12});
    ASSERT_TRUE(GetUpdateRect(hwnd, &pending, FALSE));
    EXPECT_TRUE(pending.left == 2 && pending.top == 3 && pending.right == 10 && pending.bottom == 12);
    window->Present(BackBuffer);
    ASSERT_TRUE(GetUpdateRect(hwnd, &pending, FALSE));
    EXPECT_EQ(pending.right - pending.left, LONG(Width));
    EXPECT_EQ(pending.bottom - pending.top, LONG(Height));
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  }
}

// No "pic.png", a "pic.png" that is no picture, or one selected before another name that is
// missing: the window stays 0 by 0 with an empty outline, and nothing breaks.
TEST_F(WindowShapeTest, WithoutAPictureTheWindowStaysEmpty) {
  const std::vector<uint8_t> png = EncodePng(MakePixels(8, 8, Outline));
  const std::vector<std::vector<TVfsInput>> archives = {
      {{"other.png", png}},
      {{"pic.png", {'j', 'u', 'n', 'k'}}},
      {},
  };
  for (const auto& entries : archives) {
    std::unique_ptr<TPlayerWnd> window = OpenWindow(entries, "other.png");
    const HWND hwnd = window->GetHandle();
    EXPECT_EQ(WindowBox(hwnd), (std::array<LONG, 4>{100, 100, 0, 0}));
    EXPECT_NE(BackBuffer, nullptr);
    EXPECT_EQ(SkinBitmap, nullptr);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(hwnd, region), NULLREGION);
    DeleteObject(region);
    window->Present(BackBuffer);
    window.reset();
    EXPECT_EQ(BackBuffer, nullptr);
  }
}

TEST_F(WindowShapeTest, OpeningAndClosingLeavesNoGdiObjects) {
  const std::vector<uint8_t> png = EncodePng(MakePixels(Width, Height, Outline));
  auto cycle = [&] {
    std::unique_ptr<TPlayerWnd> window = OpenWindow({{"pic.png", png}});
    window->Present(BackBuffer);
    DestroyWindow(window->GetHandle());  // as Esc does before teardown
  };
  cycle();
  const unsigned before = GdiObjectCount();
  for (int i = 0; i < 3; ++i) cycle();
  EXPECT_EQ(GdiObjectCount(), before);
  EXPECT_EQ(BackBuffer, nullptr);
  EXPECT_EQ(SkinBitmap, nullptr);
}

// Shaping a window that no longer exists: the region that no window took over is not leaked.
TEST_F(WindowShapeTest, ARegionNoWindowTookIsReleased) {
  const std::vector<uint8_t> png = EncodePng(MakePixels(Width, Height, Outline));
  std::unique_ptr<TPlayerWnd> window = OpenWindow({{"pic.png", png}});
  DestroyWindow(window->GetHandle());
  FreeWindowShape(window->GetHandle());
  const unsigned before = GdiObjectCount();
  for (int i = 0; i < 3; ++i) {
    InitWindowShape(window->GetHandle());
    EXPECT_NE(BackBuffer, nullptr);
    FreeWindowShape(window->GetHandle());
  }
  EXPECT_EQ(GdiObjectCount(), before);
}

}  // namespace
