#include "skin/LoadSkin.h"

#include <windows.h>

#include "common/IniFile.h"
#include "player/Commands.h"
#include "player/PlayList.h"
#include "skin/SkinButton.h"
#include "skin/WindowShape.h"

namespace {

const struct {
  const char* section;
  TCommand command;
} ButtonSections[ButtonCount] = {
    {"ButtonRewind", cmdRewind}, {"ButtonPlayPause", cmdPlayPause}, {"ButtonStop", cmdStop},
    {"ButtonForward", cmdForward}, {"ButtonEject", cmdEject},       {"ButtonInfo", cmdInfo},
};

void DrawNothing(TSkinButton*) {}

}  // namespace

void LoadSkin(TSkinButton* buttons[6]) {
  const TIniFile ini("skin.ini");
  char value[MAX_PATH];
  // Both lists end at the first missing or empty number.
  for (int n = 0; n < INT32_MAX && ini.Numbered("Music", "song", n, value); ++n)
    PlayList->AddSong(value);

  for (int slot = 0; slot < ButtonCount; ++slot) {
    const char* section = ButtonSections[slot].section;
    TSkinButton* button =
        new TSkinButton(BackBuffer, ini.Int(section, "X"), ini.Int(section, "Y"), SkinWindow,
                        DrawNothing, ButtonSections[slot].command, int32_t(OsVersion.dwMajorVersion));
    buttons[slot] = button;
    for (int m = 0; m < INT32_MAX && ini.Numbered(section, "pic", m, value); ++m)
      button->AddImage(value);
  }
}
