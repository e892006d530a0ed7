#include "skin/SongPictures.h"

#include "player/LoadPlayList.h"
#include "player/PlayList.h"
#include "skin/FadeLevel.h"
#include "skin/GdiHolders.h"
#include "skin/PictureEntry.h"
#include "skin/SkinImage.h"
#include "skin/WindowShape.h"
#include "vfs/VfsFile.h"

#include <algorithm>
#include <memory>

int32_t InfoRow = 0;
TSkinImage* CurrentInfoPicture = nullptr;
TSkinImage* PreviousInfoPicture = nullptr;
int32_t FadeLevel = 0;

// What lies beneath the info pictures, kept from before the first one was drawn: a picture of
// another size fades in over it, and puts it back where a larger one stood.
static std::unique_ptr<TArgbSurface> InfoBackdrop;
// How far from InfoX, InfoY pictures have drawn since the backdrop was last put back.
static int32_t CoveredWidth = 0, CoveredHeight = 0;

static const char MissingPictureCaption[] = "Shit!";
static const int8_t TitleRow = 2;

static void DestroyPicture(TSkinImage*& picture) {
  if (picture) picture->Destroy(true);
  picture = nullptr;
}

static void KeepInfoBackdrop() {
  BITMAP skin = {};
  if (InfoBackdrop || SkinBitmap == nullptr || !GetObjectA(SkinBitmap, sizeof skin, &skin)) return;
  const int w = skin.bmWidth - InfoX, h = skin.bmHeight - InfoY;
  if (w <= 0 || h <= 0) return;
  InfoBackdrop.reset(new TArgbSurface(BackBuffer, w, h));
  BitBlt(InfoBackdrop->Dc(), 0, 0, w, h, BackBuffer, InfoX, InfoY, SRCCOPY);
}

static void Cover(TSkinImage* picture) {
  if (picture == nullptr) return;
  CoveredWidth = std::max(CoveredWidth, int32_t(picture->GetWidth()));
  CoveredHeight = std::max(CoveredHeight, int32_t(picture->GetHeight()));
}

static void ClearInfoArea() {
  if (InfoBackdrop)
    BitBlt(BackBuffer, InfoX, InfoY, CoveredWidth, CoveredHeight, InfoBackdrop->Dc(), 0, 0, SRCCOPY);
  CoveredWidth = CoveredHeight = 0;
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
  KeepInfoBackdrop();
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
    ClearInfoArea();
    DrawPicture(InfoX, InfoY, name);
    Cover(CurrentInfoPicture);
  }
}

void ToggleInfo() {
  const int32_t otherRow = InfoRow == 0 ? 1 : 0;
  if (PlayList == nullptr || PlayList->GetPicture(int8_t(otherRow)) == nullptr) return;
  InfoRow = otherRow;
  ShowInfoPicture(SkinWindow, PlayList->GetPicture(int8_t(InfoRow)));
}

void FadeTick(HWND window) {
  if (PreviousInfoPicture == nullptr || CurrentInfoPicture == nullptr) return;
  const TFadeStep step = StepFade(FadeLevel);
  FadeLevel = step.nextLevel;
  Cover(PreviousInfoPicture);
  Cover(CurrentInfoPicture);
  // A fade cut short by another can leave a third picture's edges beyond these two.
  if (step.finished) ClearInfoArea();
  DrawCrossFade(InfoX, InfoY, uint32_t(step.alpha), PreviousInfoPicture, CurrentInfoPicture,
                BackBuffer, InfoBackdrop ? InfoBackdrop->Dc() : nullptr);
  if (step.finished) Cover(CurrentInfoPicture);
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
  InfoBackdrop.reset();
  CoveredWidth = CoveredHeight = 0;
  FadeLevel = 0;
  InfoRow = 0;
}
