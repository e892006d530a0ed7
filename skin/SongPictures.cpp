#include "skin/SongPictures.h"

#include "app/Globals.h"
#include "app/PlayerWnd.h"
#include "player/LoadPlayList.h"
#include "player/PlayList.h"
#include "skin/FadeLevel.h"
#include "skin/PictureEntry.h"
#include "skin/SkinImage.h"
#include "skin/WindowShape.h"
#include "vfs/VfsFile.h"

int32_t InfoRow = 0;
TSkinImage* CurrentInfoPicture = nullptr;
TSkinImage* PreviousInfoPicture = nullptr;
int32_t FadeLevel = 0;

static const char MissingPictureCaption[] = "Shit!";
static const int8_t TitleRow = 2;

static void DestroyPicture(TSkinImage*& picture) {
  if (picture) picture->Destroy(true);
  picture = nullptr;
}

static void PresentBackBuffer() {
  if (MainWindow) MainWindow->Present(BackBuffer);
}

void DrawPicture(int32_t x, int32_t y, const char* name) {
  if (name == nullptr || !SelectPictureEntry(name, MissingPictureCaption)) return;
  TSkinImage* picture = TSkinImage::Create(Archive);
  if (picture) DrawImage(x, y, picture, BackBuffer);
  DestroyPicture(picture);
  PresentBackBuffer();
}

void ShowInfoPicture(HWND window, const char* name) {
  if (name == nullptr) return;
  DestroyPicture(PreviousInfoPicture);
  PreviousInfoPicture = CurrentInfoPicture;
  CurrentInfoPicture = nullptr;
  if (!SelectPictureEntry(name, MissingPictureCaption)) return;
  CurrentInfoPicture = TSkinImage::Create(Archive);
  if (PreviousInfoPicture) {
    // Replaces a timer still running from an earlier fade; the level goes on from where it is.
    SetTimer(window, FADE_TIMER_ID, FadeTimerPeriodMs, nullptr);
  } else {
    // Nothing to fade from: drawn at once, from a copy of its own.
    DrawPicture(InfoX, InfoY, name);
  }
}

void ToggleInfo() {
  const int32_t otherRow = InfoRow == 0 ? 1 : 0;
  if (PlayList == nullptr || PlayList->GetPicture(int8_t(otherRow)) == nullptr) return;
  InfoRow = otherRow;
  ShowInfoPicture(MainWindow ? MainWindow->GetHandle() : nullptr,
                  PlayList->GetPicture(int8_t(InfoRow)));
}

void FadeTick(HWND window) {
  if (PreviousInfoPicture == nullptr || CurrentInfoPicture == nullptr) return;
  const TFadeStep step = StepFade(FadeLevel);
  FadeLevel = step.nextLevel;
  DrawCrossFade(InfoX, InfoY, uint32_t(step.alpha), PreviousInfoPicture, CurrentInfoPicture,
                BackBuffer);
  PresentBackBuffer();
  if (step.finished) KillTimer(window, FADE_TIMER_ID);
}

void ShowSongPictures(HWND window) {
  if (PlayList == nullptr) return;
  // A song without a name in a row (the skin.ini songs) shows nothing new there.
  ShowInfoPicture(window, PlayList->GetPicture(int8_t(InfoRow)));
  DrawPicture(TitleX, TitleY, PlayList->GetPicture(TitleRow));
}

void FreeSongPictures() {
  DestroyPicture(PreviousInfoPicture);
  DestroyPicture(CurrentInfoPicture);
  FadeLevel = 0;
  InfoRow = 0;
}
