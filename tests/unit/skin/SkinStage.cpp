#include "SkinStage.h"

#include "player/PlayList.h"
#include "skin/SkinButton.h"
#include "skin/SongPictures.h"
#include "skin/WindowShape.h"

#include <algorithm>
#include <cstdio>

TVfsInput SolidPicture(const std::string& name, uint32_t width, uint32_t height, uint32_t argb) {
  TPixels pixels;
  pixels.width = width;
  pixels.height = height;
  pixels.argb.assign(size_t(width) * height, argb);
  return {name, EncodePng(pixels)};
}

TSkinStage::TSkinStage(const std::vector<TVfsInput>& entries)
    : archiveFile(VfsBuildArchive(entries)) {
  CoInitialize(nullptr);
  OsVersion.dwOSVersionInfoSize = sizeof(OsVersion);
  GetVersionExA(&OsVersion);
  archive.emplace(archiveFile.path.c_str());
  Archive = &*archive;
  PlayList = new TPlayList;
  window = new TCountingWnd(GetModuleHandleA(nullptr), InitWindowShape, FreeWindowShape);
  MainWindow = window;
  PresentProc = PresentMainWindow;
}

TSkinStage::~TSkinStage() {
  for (TSkinButton*& button : Buttons) {
    delete button;
    button = nullptr;
  }
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

TTempFolder::TTempFolder() {
  GetCurrentDirectoryA(MAX_PATH, saved);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  static int serial = 0;
  path = std::string(temp) + "mdskin" + std::to_string(GetCurrentProcessId()) + "_" +
         std::to_string(serial++);
  CreateDirectoryA(path.c_str(), nullptr);
  folders.push_back(path);
  SetCurrentDirectoryA(path.c_str());
}

TTempFolder::~TTempFolder() {
  SetCurrentDirectoryA(saved);
  for (auto it = files.rbegin(); it != files.rend(); ++it) DeleteFileA(it->c_str());
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) RemoveDirectoryA(it->c_str());
}

void TTempFolder::Write(const std::string& name, const std::string& text) {
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  const std::string file = std::string(current) + "\\" + name;
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
  files.push_back(file);
}

void TTempFolder::EnterDeepFolder(size_t length) {
  std::string deep = path;
  while (deep.size() < length) {
    size_t name = std::min<size_t>(40, length - deep.size() - 1);
    if (length - deep.size() - 1 - name == 1) --name;  // no one-character remainder
    deep += "\\" + std::string(name, char('a' + length % 26));
    CreateDirectoryA(deep.c_str(), nullptr);
    folders.push_back(deep);
  }
  SetCurrentDirectoryA(deep.c_str());
}
