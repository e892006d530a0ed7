#include "app/FaceTimer.h"

#include <vector>

#include "app/PlayerWnd.h"
#include "player/Transport.h"
#include "skin/FaceDisplay.h"
#include "skin/MeterLevels.h"
#include "skin/WindowShape.h"

namespace {

const uint32_t FramesPerSecond = 44100;
bool Ticking = false;
DWORD LastTickAt = 0;
// On the heap: a static array would be carried in the exe's data.
std::vector<int16_t> Heard;

void CALLBACK OnFaceTick(HWND window, UINT, UINT_PTR, DWORD) {
  const DWORD now = GetTickCount();
  Heard.resize(MeterWindowFrames * 2);
  const THeardSound heard = GetHeardSound(Heard.data(), MeterWindowFrames);
  // Read while a refill was being recorded: the last frame stays, rather than a blink of 0:00.
  if (!heard.settled) return;
  TFaceInput input;
  input.stopped = !PlayingFlag && !PausedFlag;
  input.clockShown = heard.clockShown;
  input.seconds = heard.songFrame / FramesPerSecond;
  input.audible = heard.audible;
  input.pcm = Heard.data();
  input.elapsedSeconds = (now - LastTickAt) / 1000.0;
  const int32_t length = CurrentSongFrames();
  input.heardFraction = heard.clockShown && length > 0 ? double(heard.songFrame) / length : 0.0;
  input.volumeFraction = ListenerVolume / 100.0;
  LastTickAt = now;
  RECT dirty[FacePartCount];
  const bool lit = DrawFace(input, dirty);
  for (const RECT& part : dirty)
    if (!IsRectEmpty(&part) && MainWindow) MainWindow->PresentRect(BackBuffer, part);
  if (!lit && !PlayingFlag) {
    KillTimer(window, FaceTimerId);
    Ticking = false;
  }
}

}  // namespace

void WakeFace(HWND window) {
  if (Ticking || !HasFace()) return;
  LastTickAt = GetTickCount();
  DWORD adjustment = 0, tick = 0;
  BOOL adjusting = FALSE;
  GetSystemTimeAdjustment(&adjustment, &tick, &adjusting);
  Ticking = SetTimer(window, FaceTimerId, FaceTimerPeriodMs(tick), OnFaceTick) != 0;
}

void ShowFaceNow(HWND window) {
  if (!HasFace()) return;
  OnFaceTick(window, 0, 0, 0);
  WakeFace(window);
}
