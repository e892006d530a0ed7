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

void DrawNothing(TSkinButton*) {}

}  // namespace

void LoadSkin(TSkinButton* buttons[ButtonCount]) {
  const TIniFile ini(SkinFileName);
  char value[MAX_PATH];
  ReadNumberedList(SongKeyPrefix, [&](const char* key) {
    if (!ini.String(MusicSection, key, "", value)) return false;
    PlayList->AddSong(value);
    return true;
  });

  for (int slot = 0; slot < ButtonCount; ++slot) {
    const TButtonSection& format = ButtonSections[slot];
    TSkinButton* button = new TSkinButton(BackBuffer, ini.Int(format.section, ButtonPlaceKeys.x),
                                          ini.Int(format.section, ButtonPlaceKeys.y), SkinWindow, DrawNothing,
                                          format.command, int32_t(OsVersion.dwMajorVersion));
    buttons[slot] = button;
    ReadNumberedList(PictureKeyPrefix, [&](const char* key) {
      if (!ini.String(format.section, key, "", value)) return false;
      button->AddImage(value);
      return true;
    });
  }
  LoadFace(ini);
}
