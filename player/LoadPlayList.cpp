#include "player/LoadPlayList.h"

#include <windows.h>

#include "common/IniFile.h"
#include "format/DiskFormat.h"
#include "player/PlayList.h"

char* NoInfoText = nullptr;
int32_t InfoX = 0;
int32_t InfoY = 0;
int32_t TitleX = 0;
int32_t TitleY = 0;

static_assert(NoInfoTextSize == MAX_PATH, "the NoInfo text is read like any other value");

void LoadPlayList(HWND window) {
  char value[MAX_PATH];
  const TIniFile ini(PlayListFileName);

  InfoX = ini.Int(MusicSection, InfoPlaceKeys.x);
  InfoY = ini.Int(MusicSection, InfoPlaceKeys.y);
  TitleX = ini.Int(MusicSection, TitlePlaceKeys.x);
  TitleY = ini.Int(MusicSection, TitlePlaceKeys.y);

  ini.String(MusicSection, NoInfoKey, "", NoInfoText);
  if (ini.String(MusicSection, TitleKey, "", value) && window) SetWindowTextA(window, value);

  ReadSongList(NoInfoText, [&](const char* section, const TSongKey& key, const char* fallback) {
    if (!ini.String(section, key.name, fallback, value)) return false;
    if (key.row < 0)
      PlayList->AddSong(value);
    else
      PlayList->AddPicture(key.row, value);
    return true;
  });
}
