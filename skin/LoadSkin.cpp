#include "skin/LoadSkin.h"

#include <windows.h>

#include "common/IniFile.h"
#include "format/DiskFormat.h"
#include "player/Commands.h"
#include "player/PlayList.h"
#include "skin/FaceDisplay.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"

namespace {

static_assert(ButtonSectionCount == ButtonCount, "one section for each button");

void DrawNothing(TSkinButton*) {}

}  // namespace

void LoadSkin(TSkinButton* buttons[6]) {
  const TIniFile ini(SkinFileName);
  char value[MAX_PATH];
  // Both lists end at the first missing or empty number.
  for (int n = 0; n < INT32_MAX && ini.Numbered(MusicSection, SongKeyPrefix, n, value); ++n)
    PlayList->AddSong(value);

  for (int slot = 0; slot < ButtonCount; ++slot) {
    const TButtonSection& format = ButtonSections[slot];
    TSkinButton* button = new TSkinButton(BackBuffer, ini.Int(format.section, ButtonXKey),
                                          ini.Int(format.section, ButtonYKey), SkinWindow, DrawNothing,
                                          TCommand(format.command), int32_t(OsVersion.dwMajorVersion));
    buttons[slot] = button;
    for (int m = 0; m < INT32_MAX && ini.Numbered(format.section, PictureKeyPrefix, m, value); ++m)
      button->AddImage(value);
  }
  LoadFace(ini);
}
