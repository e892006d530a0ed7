// Holders that give GDI objects made for one drawing back before the drawing returns.
#pragma once
#include <windows.h>

class TMemoryDc {
public:
  explicit TMemoryDc(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
  ~TMemoryDc() {
    if (dc) DeleteDC(dc);
  }
  TMemoryDc(const TMemoryDc&) = delete;
  TMemoryDc& operator=(const TMemoryDc&) = delete;
  HDC dc;
};

class TGdiObject {
public:
  explicit TGdiObject(HGDIOBJ object = nullptr) : object(object) {}
  ~TGdiObject() {
    if (object) DeleteObject(object);
  }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
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
