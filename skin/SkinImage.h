// Decoded skin pictures and the two ways they reach a device context.
#pragma once
#include "skin/GdiPlusFlat.h"

#include <cstdint>

// Chooses the copy (below 5) or the blend (5 and above) in DrawImage. Each skin button stores the
// low byte of the OS major version here when it is built; 0 until then.
extern int8_t DrawingOsVersion;

// Lives in GDI+'s own heap: made by Create, ended by Destroy(true).
class TSkinImage {
public:
  // Decodes what the stream delivers from its current position (the archive's selected entry).
  // Null only when the allocation fails; a picture that does not decode has size 0 by 0.
  static TSkinImage* Create(IStream* stream);

  virtual void Destroy(bool freeMemory);

  uint32_t GetWidth();
  uint32_t GetHeight();

  Gdiplus::GpBitmap* nativeBitmap;
  Gdiplus::GpStatus lastStatus;

  // A GDI copy of the picture over transparent black, or null (the status is recorded).
  HBITMAP CreateGdiBitmap();

private:
  explicit TSkinImage(IStream* stream);
  // The decoded pixels into a new bitmap that stands on its own; `copy` is set only on success.
  static Gdiplus::GpStatus CopyPixels(Gdiplus::GpBitmap* source, Gdiplus::GpBitmap** copy);
  uint32_t QuerySize(Gdiplus::GpStatus(WINGDIPAPI* query)(Gdiplus::GpImage*, UINT*));
  ~TSkinImage() = default;
  TSkinImage(const TSkinImage&) = delete;
  TSkinImage& operator=(const TSkinImage&) = delete;
};

void DrawImage(int32_t x, int32_t y, TSkinImage* image, HDC dc);

// The constant-alpha blend of `newImage` over `oldImage`. Pictures of different sizes are blended
// over the rectangle of both, where each stands over `backdrop` (what lies beneath them, its
// (0, 0) at x, y; without one, dc's own pixels): alpha 255 leaves the new picture whole.
void DrawCrossFade(int32_t x, int32_t y, uint32_t alpha, TSkinImage* oldImage,
                   TSkinImage* newImage, HDC dc, HDC backdrop = nullptr);
