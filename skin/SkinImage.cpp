#include "skin/SkinImage.h"

#include "skin/GdiHolders.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

int8_t DrawingOsVersion = 0;

static const ARGB TransparentBlack = 0;

TSkinImage* TSkinImage::Create(IStream* stream) {
  void* memory = GdipAlloc(sizeof(TSkinImage));
  if (memory == nullptr) return nullptr;
  return new (memory) TSkinImage(stream);
}

TSkinImage::TSkinImage(IStream* stream) : nativeBitmap(nullptr), lastStatus(Ok) {
  GpBitmap* decoded = nullptr;
  lastStatus = GdipCreateBitmapFromStreamICM(stream, &decoded);
  if (lastStatus != Ok) return;
  // GDI+ may decode again from the stream whenever it likes, and the caller re-points the stream
  // at once: the picture keeps a copy of its own, premultiplied as drawing wants it.
  lastStatus = CopyPixels(decoded, &nativeBitmap);
  GdipDisposeImage(decoded);
}

GpStatus TSkinImage::CopyPixels(GpBitmap* source, GpBitmap** copy) {
  UINT w = 0, h = 0;
  GdipGetImageWidth(source, &w);
  GdipGetImageHeight(source, &h);
  GpBitmap* made = nullptr;
  GpStatus status = GdipCreateBitmapFromScan0(INT(w), INT(h), 0, PixelFormat32bppPARGB, nullptr, &made);
  if (status != Ok) return status;
  const GpRect whole = {0, 0, INT(w), INT(h)};
  BitmapData from, to;
  status = GdipBitmapLockBits(source, &whole, ImageLockModeRead, PixelFormat32bppPARGB, &from);
  if (status == Ok) {
    status = GdipBitmapLockBits(made, &whole, ImageLockModeWrite, PixelFormat32bppPARGB, &to);
    if (status == Ok) {
      for (UINT y = 0; y < h; ++y)
        std::memcpy(static_cast<BYTE*>(to.Scan0) + INT_PTR(y) * to.Stride,
                    static_cast<const BYTE*>(from.Scan0) + INT_PTR(y) * from.Stride, size_t(w) * 4);
      GdipBitmapUnlockBits(made, &to);
    }
    GdipBitmapUnlockBits(source, &from);
  }
  if (status == Ok)
    *copy = made;
  else
    GdipDisposeImage(made);
  return status;
}

void TSkinImage::Destroy(bool freeMemory) {
  if (nativeBitmap) GdipDisposeImage(nativeBitmap);
  nativeBitmap = nullptr;
  if (freeMemory) {
    this->~TSkinImage();
    GdipFree(this);
  }
}

uint32_t TSkinImage::QuerySize(GpStatus(WINGDIPAPI* query)(GpImage*, UINT*)) {
  UINT result = 0;
  GpStatus status = query(nativeBitmap, &result);
  if (status != Ok) {
    lastStatus = status;
    result = 0;
  }
  return result;
}

uint32_t TSkinImage::GetWidth() { return QuerySize(GdipGetImageWidth); }

uint32_t TSkinImage::GetHeight() { return QuerySize(GdipGetImageHeight); }

HBITMAP TSkinImage::CreateGdiBitmap() {
  HBITMAP bitmap = nullptr;
  GpStatus status = GdipCreateHBITMAPFromBitmap(nativeBitmap, &bitmap, TransparentBlack);
  if (status != Ok) {
    lastStatus = status;
    bitmap = nullptr;
  }
  return bitmap;
}

static BLENDFUNCTION ConstantAlphaBlend(BYTE alpha) {
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
  return blend;
}

void DrawImage(int32_t x, int32_t y, TSkinImage* image, HDC dc) {
  // Made first, so that it is deleted after the DC that holds it.
  const TGdiObject bitmap(image->CreateGdiBitmap());
  const TMemoryDc memory(dc);
  const int w = int(image->GetWidth());
  const int h = int(image->GetHeight());
  const TSelection selection(memory.Get(), bitmap.Get());
  // Without a GDI copy there is nothing to put there; the destination stays as it was.
  if (bitmap.Get() == nullptr) return;
  if (DrawingOsVersion >= 5)
    AlphaBlend(dc, x, y, w, h, memory.Get(), 0, 0, w, h, ConstantAlphaBlend(255));
  else
    BitBlt(dc, x, y, w, h, memory.Get(), 0, 0, SRCCOPY);
}

void DrawCrossFade(int32_t x, int32_t y, uint32_t alpha, TSkinImage* oldImage,
                   TSkinImage* newImage, HDC dc, HDC backdrop) {
  // The bitmaps outlive the DCs; the old one goes first.
  const TGdiObject newBitmap(newImage->CreateGdiBitmap());
  const TGdiObject oldBitmap(oldImage->CreateGdiBitmap());
  const TMemoryDc first(dc);
  const TMemoryDc second(dc);
  const int oldWidth = int(oldImage->GetWidth()), oldHeight = int(oldImage->GetHeight());
  const int newWidth = int(newImage->GetWidth()), newHeight = int(newImage->GetHeight());
  const TSelection firstSelection(first.Get(), oldBitmap.Get());
  const TSelection secondSelection(second.Get(), newBitmap.Get());
  const BLENDFUNCTION blend = ConstantAlphaBlend(BYTE(alpha));
  if (oldWidth == newWidth && oldHeight == newHeight) {
    if (oldBitmap.Get() == nullptr) return;
    AlphaBlend(first.Get(), 0, 0, oldWidth, oldHeight, second.Get(), 0, 0, oldWidth, oldHeight, blend);
    BitBlt(dc, x, y, oldWidth, oldHeight, first.Get(), 0, 0, SRCCOPY);
    return;
  }
  const int w = std::max(oldWidth, newWidth), h = std::max(oldHeight, newHeight);
  TArgbSurface before(dc, w, h);
  TArgbSurface after(dc, w, h);
  const HDC beneath = backdrop ? backdrop : dc;
  const int beneathX = backdrop ? 0 : x, beneathY = backdrop ? 0 : y;
  BitBlt(before.Dc(), 0, 0, w, h, beneath, beneathX, beneathY, SRCCOPY);
  BitBlt(after.Dc(), 0, 0, w, h, beneath, beneathX, beneathY, SRCCOPY);
  if (oldBitmap.Get()) BitBlt(before.Dc(), 0, 0, oldWidth, oldHeight, first.Get(), 0, 0, SRCCOPY);
  if (newBitmap.Get()) BitBlt(after.Dc(), 0, 0, newWidth, newHeight, second.Get(), 0, 0, SRCCOPY);
  AlphaBlend(before.Dc(), 0, 0, w, h, after.Dc(), 0, 0, w, h, blend);
  BitBlt(dc, x, y, w, h, before.Dc(), 0, 0, SRCCOPY);
}
