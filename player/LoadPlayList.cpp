#include "player/LoadPlayList.h"

#include <windows.h>

#include <iterator>

#include "common/IniFile.h"
#include "format/DiskFormat.h"
#include "player/PlayList.h"

char* NoInfoText = nullptr;
int32_t InfoX = 0;
int32_t InfoY = 0;
int32_t TitleX = 0;
int32_t TitleY = 0;

static_assert(NoInfoTextSize == MAX_PATH, "the NoInfo text is read like any other value");

namespace {

// Values that cannot be played as written leave the song as rendered.
void ReadSongSound(const TIniFile& ini, const char* section, char* value) {
  TSongLevel level;
  if (ini.String(section, GainKey.name, "", value)) ParseLevel(value, GainKey, level.gainDb);
  if (ini.String(section, SeparationKey.name, "", value)) ParseLevel(value, SeparationKey, level.separation);
  PlayList->SetLevel(PlayList->SongCount() - 1, level);
  if (ini.String(section, ResamplerKey, "", value))
    PlayList->SetResampler(PlayList->SongCount() - 1, ParseResampler(value));
}

}  // namespace

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
    // A song is played once its file is read, so its level is read too, after its own keys.
    if (!ini.String(section, key.name, fallback, value)) {
      if (key.row >= 0) ReadSongSound(ini, section, value);
      return false;
    }
    if (key.row < 0)
      PlayList->AddSong(value);
    else
      PlayList->AddPicture(key.row, value);
    if (&key == std::end(SongKeys) - 1) ReadSongSound(ini, section, value);
    return true;
  });
}
