// A main window shaped by the "pic.png" of a test archive, with the process-wide holders that the
// buttons and the song pictures use, all cleared again at the end.
#pragma once
#include "SkinTestSupport.h"
#include "tests/support/TempFolder.h"
#include "app/PlayerWnd.h"
#include "vfs/VfsArchiveWriter.h"
#include "vfs/VfsFile.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Counts what reached the screen.
class TCountingWnd : public TPlayerWnd {
public:
  using TPlayerWnd::TPlayerWnd;
  BOOL Present(HDC backBuffer) override {
    ++presents;
    return TPlayerWnd::Present(backBuffer);
  }
  int presents = 0;
};

// An archive entry holding a one-colour PNG.
TVfsInput SolidPicture(const std::string& name, uint32_t width, uint32_t height, uint32_t argb);

class TSkinStage {
public:
  // `entries` must hold "pic.png"; the playlist object starts empty.
  explicit TSkinStage(const std::vector<TVfsInput>& entries);
  ~TSkinStage();
  TSkinStage(const TSkinStage&) = delete;
  TSkinStage& operator=(const TSkinStage&) = delete;

  HWND Handle() const { return window->GetHandle(); }
  // The back buffer's pixel, as drawn (premultiplied 0xAARRGGBB).
  uint32_t At(int32_t x, int32_t y) const;
  // True when every pixel of the rectangle is `argb`.
  bool Filled(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t argb) const;
  // WM_PLAYER_COMMAND (with its code) and WM_CLOSE (code 0) posted since the last call.
  std::vector<std::pair<UINT, WPARAM>> TakePosted();
  void DeleteButtons();
  // Whether the fade timer delivers a WM_TIMER within a few periods; pending ones are dropped first.
  bool TimerTicks();

  TCountingWnd* window = nullptr;

private:
  TGdiplusSession gdiplus;
  TTempFolder temp;
  std::optional<TVfsFile> archive;
};
