#include "skin/WindowShape.h"

#include "app/Globals.h"
#include "app/PlayerWnd.h"
#include "skin/SkinImage.h"
#include "vfs/VfsFile.h"

#include <algorithm>
#include <cstring>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

HBITMAP SkinBitmap = nullptr;
HDC BackBuffer = nullptr;
HRGN WindowRegion = nullptr;

static const char BackgroundEntry[] = "pic.png";

HRGN CreateOutlineRegion(uint32_t width, uint32_t height, const std::vector<TTransparentRun>& runs) {
  const std::vector<TOutlineRect> rects = OpaqueRectangles(width, height, runs);
  static_assert(sizeof(TOutlineRect) == sizeof(RECT), "the rectangles are copied as RECTs");
  std::vector<uint8_t> buffer(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  RGNDATA* data = reinterpret_cast<RGNDATA*>(buffer.data());
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = DWORD(rects.size());
  data->rdh.nRgnSize = DWORD(rects.size() * sizeof(RECT));
  SetRectEmpty(&data->rdh.rcBound);
  if (!rects.empty()) {
    std::memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
    RECT& bound = data->rdh.rcBound;
    bound = {rects.front().left, rects.front().top, rects.front().right, rects.back().bottom};
    for (const TOutlineRect& r : rects) {
      bound.left = std::min<LONG>(bound.left, r.left);
      bound.right = std::max<LONG>(bound.right, r.right);
    }
  }
  return ExtCreateRegion(nullptr, DWORD(buffer.size()), data);
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

int InitWindowShape(TPlayerWnd* window) {
  const HWND hwnd = window->GetHandle();
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
  POINT destination = {PlayerWndX, PlayerWndY};
  SIZE size = {LONG(w), LONG(h)};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(hwnd, nullptr, &destination, &size, BackBuffer, &source, 0, &blend,
                      ULW_ALPHA);
  return 0;
}

int FreeWindowShape(TPlayerWnd*) {
  if (BackBuffer) DeleteDC(BackBuffer);
  BackBuffer = nullptr;
  if (SkinBitmap) DeleteObject(SkinBitmap);
  SkinBitmap = nullptr;
  return 0;
}
