// Holders that give GDI objects made for one drawing back before the drawing returns.
#pragma once
#include <windows.h>

// A memory DC, made compatible with another and deleted with its holder.
class TMemoryDc {
public:
  explicit TMemoryDc(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
  ~TMemoryDc() {
    if (dc) DeleteDC(dc);
  }
  TMemoryDc(const TMemoryDc&) = delete;
  TMemoryDc& operator=(const TMemoryDc&) = delete;
  HDC Get() const { return dc; }

private:
  HDC dc;
};

// A bitmap or a region, deleted with its holder unless handed on.
class TGdiObject {
public:
  explicit TGdiObject(HGDIOBJ object) : object(object) {}
  ~TGdiObject() {
    if (object) DeleteObject(object);
  }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  HGDIOBJ Get() const { return object; }
  // The caller owns the object from now on.
  HGDIOBJ Detach() {
    const HGDIOBJ handedOn = object;
    object = nullptr;
    return handedOn;
  }

private:
  HGDIOBJ object;
};

// Selects `object` into `dc` and puts back what was there before.
class TSelection {
public:
  TSelection(HDC dc, HGDIOBJ object) : dc(dc), previous(object ? SelectObject(dc, object) : nullptr) {}
  ~TSelection() {
    if (previous) SelectObject(dc, previous);
  }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;

private:
  HDC dc;
  HGDIOBJ previous;
};

// A memory DC over a 32-bit DIB of its own, alpha channel included, zero at first.
class TArgbSurface {
public:
  TArgbSurface(HDC compatibleWith, int width, int height)
      : bitmap(CreateArgbBitmap(compatibleWith, width, height)),
        memory(compatibleWith),
        selection(memory.Get(), bitmap.Get()) {}
  TArgbSurface(const TArgbSurface&) = delete;
  TArgbSurface& operator=(const TArgbSurface&) = delete;
  HDC Dc() const { return memory.Get(); }

private:
  static HBITMAP CreateArgbBitmap(HDC dc, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  TGdiObject bitmap;  // first in, last out: no DC holds it when it goes
  TMemoryDc memory;
  TSelection selection;
};
