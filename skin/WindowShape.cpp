#include "skin/WindowShape.h"

#include "app/Globals.h"
#include "app/PlayerWnd.h"
#include "skin/GdiHolders.h"
#include "skin/SkinImage.h"
#include "vfs/VfsFile.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

HBITMAP SkinBitmap = nullptr;
HDC BackBuffer = nullptr;
HRGN WindowRegion = nullptr;

static const char BackgroundEntry[] = "pic.png";

void CutTransparentRuns(HRGN region, const std::vector<TTransparentRun>& runs) {
  for (const TTransparentRun& run : runs) {
    TGdiObject cut(CreateRectRgn(run.firstColumn, run.row, run.endColumn, run.row + 1));
    CombineRgn(region, region, static_cast<HRGN>(cut.object), RGN_XOR);
  }
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
  CutTransparentRuns(WindowRegion,
                     ScanTransparentRuns(static_cast<const uint8_t*>(lockRecord.Scan0), w, h,
                                         lockRecord.Stride));
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
