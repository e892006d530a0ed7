#include "skin/LoadSkin.h"

#include <windows.h>

#include "common/IniFile.h"
#include "format/DiskFormat.h"
#include "player/Commands.h"
#include "player/PlayList.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"

namespace {

void DrawNothing(TSkinButton*) {}

}  // namespace

void LoadSkin(TSkinButton* buttons[ButtonCount]) {
  const TIniFile ini(SkinFileName);
  char value[MAX_PATH];
  // Both lists end at the first missing or empty number.
  const auto numbered = [&](const char* section, const char* prefix, int32_t n) {
    return n < INT32_MAX && ini.String(section, NumberedName(prefix, n).text, "", value);
  };
  for (int32_t n = 0; numbered(MusicSection, SongKeyPrefix, n); ++n) PlayList->AddSong(value);

  for (int slot = 0; slot < ButtonCount; ++slot) {
    const TButtonSection& format = ButtonSections[slot];
    TSkinButton* button = new TSkinButton(BackBuffer, ini.Int(format.section, ButtonPlaceKeys.x),
                                          ini.Int(format.section, ButtonPlaceKeys.y), SkinWindow, DrawNothing,
                                          format.command, int32_t(OsVersion.dwMajorVersion));
    buttons[slot] = button;
    for (int32_t m = 0; numbered(format.section, PictureKeyPrefix, m); ++m) button->AddImage(value);
  }
}
