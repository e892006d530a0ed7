#include "SkinTestSupport.h"
#include "tests/support/TempFolder.h"
#include "vfs/VfsArchiveWriter.h"
#include "vfs/VfsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

const uint32_t Background = 0x5A5A5A5A;  // must never show through a drawn picture

class SkinImageTest : public testing::Test {
protected:
  TGdiplusSession gdiplus;
  void TearDown() override { DrawingOsVersion = 0; }
};

struct TImageDeleter {
  void operator()(TSkinImage* image) const {
    if (image) image->Destroy(true);
  }
};
using TImage = std::unique_ptr<TSkinImage, TImageDeleter>;

TImage Decode(const TPixels& pixels) { return TImage(ImageFromBytes(EncodePng(pixels))); }

// Alpha steps 0, 1, 128, 200, 255 across the picture, colours from the position.
uint32_t Mixed(uint32_t x, uint32_t y) {
  static const uint32_t alphas[] = {0, 1, 128, 200, 255};
  return alphas[(x + y) % 5] << 24 | (x * 37 % 256) << 16 | (y * 53 % 256) << 8 | ((x ^ y) * 11 % 256);
}
uint32_t OpaqueA(uint32_t x, uint32_t y) { return 0xFF000000 | x * 13 << 16 | y * 7 << 8 | (x + y); }
uint32_t OpaqueB(uint32_t x, uint32_t y) {
  return 0xFF000000 | (255 - x * 5) << 16 | (y * 29 % 256) << 8 | (x * y % 256);
}
// Opaque and clear pixels only, so that the GDI copy holds exactly these values.
uint32_t HalfClear(uint32_t x, uint32_t y) { return (x + y) % 3 == 0 ? 0 : 0xFF000000 | x << 17 | y << 9 | 0x33; }

TEST_F(SkinImageTest, UndecodablePictureIsZeroByZeroAndDrawsNothing) {
  TImage broken(ImageFromBytes({'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}));
  ASSERT_TRUE(broken);
  EXPECT_EQ(broken->nativeBitmap, nullptr);
  EXPECT_NE(broken->lastStatus, Gdiplus::Ok);
  EXPECT_EQ(broken->GetWidth(), 0u);
  EXPECT_EQ(broken->GetHeight(), 0u);

  TImage good = Decode(MakePixels(8, 8, OpaqueA));
  for (int version : {0, 6}) {
    DrawingOsVersion = int8_t(version);
    TDibSurface surface(12, 12, Background);
    DrawImage(2, 2, broken.get(), surface.dc);
    DrawCrossFade(2, 2, 0, broken.get(), good.get(), surface.dc);
    for (uint32_t y = 0; y < 12; ++y)
      for (uint32_t x = 0; x < 12; ++x) ASSERT_EQ(surface.At(x, y), Background) << x << "," << y;
  }
}

// Transparent pixels come out as 0 in all four channels, on the copy and on the blend path alike,
// and nothing of the background shows through anywhere in the rectangle.
TEST_F(SkinImageTest, DrawImageReplacesTheRectangleWithThePremultipliedPicture) {
  const TPixels pixels = MakePixels(17, 11, Mixed);
  TTempFolder temp;
  TVfsFile archive(temp.Write("a.vfs", VfsBuildArchive({{"a.png", EncodePng(pixels)}, {"b.png", {'x'}}})).c_str());
  archive.SelectEntry("a.png");
  TImage image(TSkinImage::Create(&archive));
  archive.SelectEntry("b.png");  // the picture keeps its own pixels and no hold on the stream
  EXPECT_EQ((archive.AddRef(), archive.Release()), 0u);
  for (int version : {0, 4, 5, 6}) {
    SCOPED_TRACE(version);
    DrawingOsVersion = int8_t(version);
    TDibSurface surface(24, 16, Background);
    DrawImage(3, 4, image.get(), surface.dc);
    for (uint32_t y = 0; y < surface.height; ++y)
      for (uint32_t x = 0; x < surface.width; ++x) {
        const bool inside = x >= 3 && x < 20 && y >= 4 && y < 15;
        if (!inside) {
          ASSERT_EQ(surface.At(x, y), Background) << x << "," << y;
          continue;
        }
        const uint32_t source = pixels.At(x - 3, y - 4);
        const uint32_t alpha = source >> 24;
        if (alpha == 0 || alpha == 255)
          ASSERT_EQ(surface.At(x, y), Premultiplied(source)) << x << "," << y;
        else
          ASSERT_TRUE(WithinOne(surface.At(x, y), Premultiplied(source)))
              << std::hex << surface.At(x, y) << " for " << source;
      }
  }
}

TEST_F(SkinImageTest, CrossFadeEndsAreExactlyTheTwoPictures) {
  const TPixels oldPixels = MakePixels(16, 16, OpaqueA);
  const TPixels newPixels = MakePixels(16, 16, HalfClear);
  TImage oldImage = Decode(oldPixels);
  TImage newImage = Decode(newPixels);
  // Only the low byte of alpha counts: 256 is 0 and 511 is 255.
  for (uint32_t alpha : {0u, 256u, 255u, 511u}) {
    SCOPED_TRACE(alpha);
    TDibSurface surface(20, 20, Background);
    DrawCrossFade(2, 3, alpha, oldImage.get(), newImage.get(), surface.dc);
    const TPixels& expected = (alpha & 0xFF) == 0 ? oldPixels : newPixels;
    for (uint32_t y = 0; y < 16; ++y)
      for (uint32_t x = 0; x < 16; ++x)
        ASSERT_EQ(surface.At(x + 2, y + 3), Premultiplied(expected.At(x, y))) << x << "," << y;
    EXPECT_EQ(surface.At(1, 3), Background);
    EXPECT_EQ(surface.At(18, 19), Background);
  }
}

TEST_F(SkinImageTest, CrossFadeBlendsEveryChannelAndDoesNotAccumulate) {
  const TPixels oldPixels = MakePixels(16, 16, OpaqueA);
  const TPixels newPixels = MakePixels(16, 16, HalfClear);
  TImage oldImage = Decode(oldPixels);
  TImage newImage = Decode(newPixels);
  TDibSurface surface(16, 16, Background);
  // One surface for every level: each step starts again from the two pictures.
  for (uint32_t alpha : {1u, 17u, 64u, 128u, 200u, 254u, 100u}) {
    SCOPED_TRACE(alpha);
    DrawCrossFade(0, 0, alpha, oldImage.get(), newImage.get(), surface.dc);
    for (uint32_t y = 0; y < 16; ++y)
      for (uint32_t x = 0; x < 16; ++x) {
        const uint32_t expected = Blend(oldPixels.At(x, y), newPixels.At(x, y), alpha);
        ASSERT_TRUE(WithinOne(surface.At(x, y), expected))
            << x << "," << y << ": " << std::hex << surface.At(x, y) << " expected " << expected;
      }
  }
}

// Pictures of different sizes, none at all included, fade over the rectangle of both: each stands
// over the backdrop, so the fade ends with the new picture whole and the old one's edges gone.
TEST_F(SkinImageTest, CrossFadeBetweenSizesEndsWithTheNewPictureWhole) {
  const uint32_t Beneath = 0xFF204060;
  TDibSurface backdrop(14, 12, Beneath);
  TImage oldImage = Decode(MakePixels(10, 8, OpaqueA));
  TImage larger = Decode(MakePixels(14, 12, OpaqueB));
  TImage smaller = Decode(MakePixels(9, 6, OpaqueB));
  TImage broken(ImageFromBytes({'?'}));
  struct TFade {
    TSkinImage* from;
    TSkinImage* to;
    uint32_t (*fromPixel)(uint32_t, uint32_t);
    uint32_t (*toPixel)(uint32_t, uint32_t);
    uint32_t fromWidth, fromHeight, toWidth, toHeight;
  };
  const TFade fades[] = {{oldImage.get(), larger.get(), OpaqueA, OpaqueB, 10, 8, 14, 12},
                         {larger.get(), oldImage.get(), OpaqueB, OpaqueA, 14, 12, 10, 8},
                         {oldImage.get(), smaller.get(), OpaqueA, OpaqueB, 10, 8, 9, 6},
                         {oldImage.get(), broken.get(), OpaqueA, OpaqueB, 10, 8, 0, 0},
                         {broken.get(), smaller.get(), OpaqueA, OpaqueB, 0, 0, 9, 6}};
  for (const TFade& fade : fades) {
    for (uint32_t alpha : {0u, 120u, 255u}) {
      SCOPED_TRACE(testing::Message() << fade.fromWidth << "x" << fade.fromHeight << " to " << fade.toWidth
                                      << "x" << fade.toHeight << " at " << alpha);
      TDibSurface surface(20, 20, Background);
      DrawCrossFade(1, 1, alpha, fade.from, fade.to, surface.dc, backdrop.dc);
      const uint32_t w = std::max(fade.fromWidth, fade.toWidth), h = std::max(fade.fromHeight, fade.toHeight);
      for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t x = 0; x < 20; ++x) {
          if (x < 1 || y < 1 || x > w || y > h) {
            ASSERT_EQ(surface.At(x, y), Background) << x << "," << y;
            continue;
          }
          const uint32_t px = x - 1, py = y - 1;
          const uint32_t from = px < fade.fromWidth && py < fade.fromHeight ? fade.fromPixel(px, py) : Beneath;
          const uint32_t to = px < fade.toWidth && py < fade.toHeight ? fade.toPixel(px, py) : Beneath;
          ASSERT_TRUE(WithinOne(surface.At(x, y), Blend(from, to, alpha)))
              << x << "," << y << ": " << std::hex << surface.At(x, y);
        }
    }
  }
  // Without a backdrop the destination's own pixels stand beneath.
  TDibSurface surface(20, 20, Background);
  DrawCrossFade(1, 1, 255, larger.get(), smaller.get(), surface.dc);
  EXPECT_EQ(surface.At(9, 6), Premultiplied(OpaqueB(8, 5)));
  EXPECT_EQ(surface.At(10, 6), Background);
  EXPECT_EQ(surface.At(14, 12), Background);
}

TEST_F(SkinImageTest, RepeatedDrawingKeepsTheGdiObjectCount) {
  TImage oldImage = Decode(MakePixels(32, 32, Mixed));
  TImage newImage = Decode(MakePixels(32, 32, OpaqueB));
  TDibSurface surface(40, 40, Background);
  for (int version : {4, 6}) {
    DrawingOsVersion = int8_t(version);
    DrawImage(0, 0, oldImage.get(), surface.dc);  // first calls may make lasting caches
    DrawCrossFade(0, 0, 9, oldImage.get(), newImage.get(), surface.dc);
    const unsigned before = GdiObjectCount();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 10000; ++i) DrawImage(i % 8, 0, oldImage.get(), surface.dc);
    EXPECT_EQ(GdiObjectCount(), before) << "DrawImage, drawing OS version " << version;
    for (int i = 0; i < 10000; ++i)
      DrawCrossFade(0, 0, uint32_t(i), oldImage.get(), newImage.get(), surface.dc);
    EXPECT_EQ(GdiObjectCount(), before) << "DrawCrossFade";
  }
}

}  // namespace
