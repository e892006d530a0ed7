#include "skin/SkinImage.h"

#include "skin/GdiHolders.h"

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
  lastStatus = GdipCreateBitmapFromStreamICM(stream, &nativeBitmap);
  if (lastStatus != Ok) {
    nativeBitmap = nullptr;
    return;
  }
  // GDI+ may decode lazily from the stream, which the caller re-points at once: read the pixels
  // now so that the picture stands on its own.
  UINT w = 0, h = 0;
  GdipGetImageWidth(nativeBitmap, &w);
  GdipGetImageHeight(nativeBitmap, &h);
  const GpRect whole = {0, 0, INT(w), INT(h)};
  BitmapData pixels;
  if (GdipBitmapLockBits(nativeBitmap, &whole, ImageLockModeRead, PixelFormat32bppARGB, &pixels) == Ok)
    GdipBitmapUnlockBits(nativeBitmap, &pixels);
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
  TGdiObject bitmap;  // declared first: deleted after the DC that holds it
  TMemoryDc memory(dc);
  const int w = int(image->GetWidth());
  const int h = int(image->GetHeight());
  bitmap.object = image->CreateGdiBitmap();
  TSelection selection(memory.dc, bitmap.object);
  // Without a GDI copy there is nothing to put there; the destination stays as it was.
  if (bitmap.object == nullptr) return;
  if (DrawingOsVersion >= 5)
    AlphaBlend(dc, x, y, w, h, memory.dc, 0, 0, w, h, ConstantAlphaBlend(255));
  else
    BitBlt(dc, x, y, w, h, memory.dc, 0, 0, SRCCOPY);
}

void DrawCrossFade(int32_t x, int32_t y, uint32_t alpha, TSkinImage* oldImage,
                   TSkinImage* newImage, HDC dc) {
  TGdiObject newBitmap;  // bitmaps outlive the DCs; the old one goes first
  TGdiObject oldBitmap;
  TMemoryDc first(dc);
  TMemoryDc second(dc);
  const int w = int(oldImage->GetWidth());
  const int h = int(oldImage->GetHeight());
  oldBitmap.object = oldImage->CreateGdiBitmap();
  newBitmap.object = newImage->CreateGdiBitmap();
  TSelection firstSelection(first.dc, oldBitmap.object);
  TSelection secondSelection(second.dc, newBitmap.object);
  if (oldBitmap.object == nullptr) return;
  // A new picture smaller than the old one (or none) makes AlphaBlend refuse: the old one shows.
  AlphaBlend(first.dc, 0, 0, w, h, second.dc, 0, 0, w, h, ConstantAlphaBlend(BYTE(alpha)));
  BitBlt(dc, x, y, w, h, first.dc, 0, 0, SRCCOPY);
}
