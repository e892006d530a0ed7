// The spine of the process: the holders made before WinMain, start-up in its fixed order, the
// message loop, and the teardown after it.
#include <windows.h>

#include <cstring>
#include <new>

#include "app/FaceTimer.h"
#include "app/ListenerSettings.h"
#include "app/PlayerWnd.h"
#include "app/PlayerWndProc.h"
#include "app/StartupHooks.h"
#include "format/DiskFormat.h"
#include "player/LoadPlayList.h"
#include "player/PlayList.h"
#include "player/Transport.h"
#include "skin/FaceDisplay.h"
#include "skin/GdiPlusFlat.h"
#include "skin/LoadSkin.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"
#include "vfs/VfsFile.h"

void (*OnGdiplusStarted)() = nullptr;
bool (*OnFirstPresent)() = nullptr;

// Static initialisation, in definition order: the archive, the playlist, the NoInfo text. The
// transport's listener needs none: it is built before any of them and destroyed at exit.
namespace {
struct TStaticStep {
  explicit TStaticStep(void (*step)()) { step(); }
};
const TStaticStep OpenArchive([] { Archive = new (std::nothrow) TVfsFile(ArchiveFileName); });
const TStaticStep MakePlayList([] { PlayList = new (std::nothrow) TPlayList; });
const TStaticStep AllocateNoInfoText([] { NoInfoText = new (std::nothrow) char[NoInfoTextSize](); });

TPlayerWnd* MakeMainWindow(HINSTANCE instance) {
  if (IsLayeredOs()) return new (std::nothrow) TPlayerWnd(instance, InitWindowShape, FreeWindowShape);
  return new (std::nothrow) TPlayerWndClassic(instance, InitWindowShape, FreeWindowShape);
}

void RedrawButtons() {
  for (TSkinButton* button : Buttons)
    if (button) button->Redraw();
}

void OpenFirstSong() {
  const char* first = PlayList ? PlayList->CurrentSong() : nullptr;
  if (!OpenSong(first)) MessageBoxA(nullptr, "Song not loaded", "Info", MB_ICONINFORMATION);
}

void DeleteButtons() {
  for (TSkinButton* button : Buttons) delete button;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  std::memset(&OsVersion, 0, sizeof OsVersion);
  OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
  GetVersionExA(&OsVersion);

  Gdiplus::GdiplusStartupInput gdiplusInput;
  gdiplusInput.GdiplusVersion = 1;
  gdiplusInput.DebugEventCallback = nullptr;
  gdiplusInput.SuppressBackgroundThread = FALSE;
  gdiplusInput.SuppressExternalCodecs = FALSE;
  if (FAILED(CoInitialize(nullptr))) return 0;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
  if (OnGdiplusStarted) OnGdiplusStarted();

  MainWindow = MakeMainWindow(instance);
  if (MainWindow) PresentProc = PresentMainWindow;
  LoadSkin(Buttons);
  RedrawButtons();
  if (MainWindow) {
    MainWindow->Present(BackBuffer);
    if (OnFirstPresent && OnFirstPresent()) return 0;
    // Without a window no WM_QUIT could ever end the loop: go straight to the teardown.
    if (!MainWindow->GetHandle()) {
      delete MainWindow;
    } else if (StartPlayer(MainWindow->GetHandle())) {
      LoadPlayList(MainWindow->GetHandle());
      OpenFirstSong();
      MainWindow->SetWindowProc(PlayerWndProc);
      StartPlayerInput(MainWindow->GetHandle());
      LoadListenerSettings();
      ShowFaceNow(MainWindow->GetHandle());  // the volume bar as kept
      MainWindow->RunMessageLoop();

      delete MainWindow;
      ShutdownPlayer();
      FreeFace();
      delete[] NoInfoText;
    }
  }

  DeleteButtons();
  delete Archive;
  Gdiplus::GdiplusShutdown(gdiplusToken);
  CoUninitialize();
  return 0;
}
