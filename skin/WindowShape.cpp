#include "skin/WindowShape.h"

#include "format/DiskFormat.h"
#include "skin/GdiHolders.h"
#include "skin/SkinImage.h"
#include "vfs/VfsFile.h"

#include <algorithm>
#include <cstring>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

OSVERSIONINFOA OsVersion = {};
HBITMAP SkinBitmap = nullptr;
HDC BackBuffer = nullptr;
HWND SkinWindow = nullptr;
TPresentProc PresentProc = nullptr;

// The window's outline while it is made; the window owns it once set.
static HRGN WindowRegion = nullptr;

static HRGN RegionFromRectangles(const TOutlineRect* rects, size_t count) {
  static_assert(sizeof(TOutlineRect) == sizeof(RECT), "the rectangles are copied as RECTs");
  std::vector<uint8_t> buffer(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
  RGNDATA* data = reinterpret_cast<RGNDATA*>(buffer.data());
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = DWORD(count);
  data->rdh.nRgnSize = DWORD(count * sizeof(RECT));
  SetRectEmpty(&data->rdh.rcBound);
  if (count > 0) {
    std::memcpy(data->Buffer, rects, count * sizeof(RECT));
    RECT& bound = data->rdh.rcBound;
    bound = {rects[0].left, rects[0].top, rects[0].right, rects[count - 1].bottom};
    for (size_t i = 0; i < count; ++i) {
      bound.left = std::min<LONG>(bound.left, rects[i].left);
      bound.right = std::max<LONG>(bound.right, rects[i].right);
    }
  }
  return ExtCreateRegion(nullptr, DWORD(buffer.size()), data);
}

// Wine's ExtCreateRegion adds the rectangles one by one, each time through the whole region made
// so far, while uniting two regions takes time in their sizes: a few rectangles per call, the
// regions united in pairs, keep the time close to linear there too.
static HRGN UniteRectangles(const TOutlineRect* rects, size_t count) {
  const size_t RectanglesPerCall = 64;
  if (count <= RectanglesPerCall) return RegionFromRectangles(rects, count);
  TGdiObject first(UniteRectangles(rects, count / 2));
  TGdiObject second(UniteRectangles(rects + count / 2, count - count / 2));
  const HRGN united = static_cast<HRGN>(first.Get());
  if (!united || !second.Get() || CombineRgn(united, united, static_cast<HRGN>(second.Get()), RGN_OR) == ERROR)
    return nullptr;
  return static_cast<HRGN>(first.Detach());
}

HRGN CreateOutlineRegion(uint32_t width, uint32_t height, const std::vector<TTransparentRun>& runs) {
  const std::vector<TOutlineRect> rects = OpaqueRectangles(width, height, runs);
  return UniteRectangles(rects.data(), rects.size());
}

static void CreateBackBuffer() {
  HDC screen = GetDC(nullptr);
  BackBuffer = CreateCompatibleDC(screen);
  SelectClipRgn(BackBuffer, WindowRegion);
  ReleaseDC(nullptr, screen);
  // The DC's own first bitmap is not kept: the skin bitmap stays selected for the DC's life.
  if (SkinBitmap) SelectObject(BackBuffer, SkinBitmap);
}

static void CutOutline(TSkinImage* picture, UINT w, UINT h) {
  BitmapData lockRecord = {};
  GpRect whole(0, 0, INT(w), INT(h));
  GpStatus status = GdipBitmapLockBits(picture->nativeBitmap, &whole, ImageLockModeRead,
                                       PixelFormat32bppARGB, &lockRecord);
  if (status != Ok) {
    picture->lastStatus = status;
    return;
  }
  const HRGN outline = CreateOutlineRegion(
      w, h, ScanTransparentRuns(static_cast<const uint8_t*>(lockRecord.Scan0), w, h, lockRecord.Stride));
  if (outline) {
    DeleteObject(WindowRegion);
    WindowRegion = outline;
  }
  status = GdipBitmapUnlockBits(picture->nativeBitmap, &lockRecord);
  if (status != Ok) picture->lastStatus = status;
}

void PresentBackBuffer() {
  if (PresentProc) PresentProc();
}

BOOL UpdateLayered(HWND window, POINT position, SIZE size, HDC source) {
  POINT origin = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  return UpdateLayeredWindow(window, nullptr, &position, &size, source, &origin, 0, &blend, ULW_ALPHA);
}

BOOL UpdateLayeredPart(HWND window, HDC source, const RECT& dirty) {
  POINT origin = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UPDATELAYEREDWINDOWINFO update = {};
  update.cbSize = sizeof update;
  update.hdcSrc = source;
  update.pptSrc = &origin;
  update.pblend = &blend;
  update.dwFlags = ULW_ALPHA;
  update.prcDirty = &dirty;
  return UpdateLayeredWindowIndirect(window, &update);
}

int InitWindowShape(HWND hwnd) {
  SkinWindow = hwnd;
  // A missing entry counts as a picture that does not decode: the stream would still be on
  // whatever was selected before.
  const bool found = Archive != nullptr && Archive->SelectEntry(BackgroundEntry);
  TSkinImage* picture = found ? TSkinImage::Create(Archive) : nullptr;
  UINT w = 0, h = 0;
  if (picture) {
    SkinBitmap = picture->CreateGdiBitmap();
    w = picture->GetWidth();
    h = picture->GetHeight();
  }

  WindowRegion = CreateRectRgn(0, 0, int(w), int(h));
  SetWindowPos(hwnd, HWND_TOP, PlayerWndX, PlayerWndY, int(w), int(h), 0);
  CreateBackBuffer();

  if (picture) {
    if (w > 0 && h > 0) CutOutline(picture, w, h);
    picture->Destroy(true);
  }

  if (!SetWindowRgn(hwnd, WindowRegion, TRUE)) {
    // Not taken over by a window: still ours.
    DeleteObject(WindowRegion);
    WindowRegion = nullptr;
  }
  if (!IsLayeredOs()) return 0;

  SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
  UpdateLayered(hwnd, {PlayerWndX, PlayerWndY}, {LONG(w), LONG(h)}, BackBuffer);
  return 0;
}

int FreeWindowShape(HWND) {
  SkinWindow = nullptr;
  if (BackBuffer) DeleteDC(BackBuffer);
  BackBuffer = nullptr;
  if (SkinBitmap) DeleteObject(SkinBitmap);
  SkinBitmap = nullptr;
  return 0;
}
