#include "SkinStage.h"

#include "player/PlayList.h"
#include "skin/SkinButton.h"
#include "skin/SongPictures.h"
#include "skin/WindowShape.h"


TVfsInput SolidPicture(const std::string& name, uint32_t width, uint32_t height, uint32_t argb) {
  return {name, EncodePng(MakePixels(width, height, [argb](uint32_t, uint32_t) { return argb; }))};
}

TSkinStage::TSkinStage(const std::vector<TVfsInput>& entries) {
  CoInitialize(nullptr);
  OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
  GetVersionExA(&OsVersion);
  archive.emplace(temp.Write("archive.vfs", VfsBuildArchive(entries)).c_str());
  Archive = &*archive;
  PlayList = new TPlayList;
  window = new TCountingWnd(GetModuleHandleA(nullptr), InitWindowShape, FreeWindowShape);
  MainWindow = window;
  PresentProc = PresentMainWindow;
}

void TSkinStage::DeleteButtons() {
  for (TSkinButton*& button : Buttons) {
    delete button;
    button = nullptr;
  }
}

TSkinStage::~TSkinStage() {
  DeleteButtons();
  FreeSongPictures();
  KillTimer(window->GetHandle(), FADE_TIMER_ID);
  delete window;
  PresentProc = nullptr;
  MainWindow = nullptr;
  delete PlayList;
  PlayList = nullptr;
  Archive = nullptr;
  archive.reset();
  DrawingOsVersion = 0;
  CoUninitialize();
}

uint32_t TSkinStage::At(int32_t x, int32_t y) const {
  GdiFlush();
  DIBSECTION dib = {};
  GetObjectA(SkinBitmap, sizeof dib, &dib);
  const LONG height = dib.dsBm.bmHeight;
  const LONG row = dib.dsBmih.biHeight > 0 ? height - 1 - y : y;
  return static_cast<const uint32_t*>(dib.dsBm.bmBits)[row * dib.dsBm.bmWidth + x];
}

bool TSkinStage::Filled(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t argb) const {
  for (int32_t row = y; row < y + height; ++row)
    for (int32_t column = x; column < x + width; ++column)
      if (At(column, row) != argb) return false;
  return true;
}

std::vector<std::pair<UINT, WPARAM>> TSkinStage::TakePosted() {
  std::vector<std::pair<UINT, WPARAM>> posted;
  MSG message;
  // Only these two kinds: a WM_PAINT left in the queue would come back for ever.
  while (PeekMessageA(&message, Handle(), WM_CLOSE, WM_CLOSE, PM_REMOVE))
    posted.push_back({WM_CLOSE, message.wParam});
  while (PeekMessageA(&message, Handle(), WM_PLAYER_COMMAND, WM_PLAYER_COMMAND, PM_REMOVE))
    posted.push_back({WM_PLAYER_COMMAND, message.wParam});
  return posted;
}

bool TSkinStage::TimerTicks() {
  MSG message;
  while (PeekMessageA(&message, Handle(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
  }
  for (int waited = 0; waited < 100; waited += 5) {
    Sleep(5);
    if (PeekMessageA(&message, Handle(), WM_TIMER, WM_TIMER, PM_REMOVE))
      return message.wParam == FADE_TIMER_ID;
  }
  return false;
}
