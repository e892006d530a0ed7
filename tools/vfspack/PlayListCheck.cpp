// PlayList.ini and the songs: the program's reading order and stop rules, the songs loading, and
// the song pictures shown one over another.
#include "tools/vfspack/DiskChecker.h"

void TChecker::CheckSong(const TSongRef& song, bool first) {
  auto cached = songs.find(song.name);
  if (cached == songs.end()) cached = songs.emplace(song.name, folder.LoadSong(song.name)).first;
  for (const char c : song.name) {
    if (uint8_t(c) < 0x80) continue;
    Warn(song.file, song.place,
         Quote(song.name) + " holds letters beyond ASCII: the disk plays it only where Windows reads them in the "
                            "code page it was written in");
    break;
  }
  if (cached->second == TSongLoad::Loaded) return;
  std::string text =
      Quote(song.name) +
      (cached->second == TSongLoad::Missing ? " does not exist" : " does not load: the player library cannot play it");
  if (first) text += " (the disk starts with a \"Song not loaded\" box)";
  Error(song.file, song.place, text);
}

// A level or resampler the program cannot play as written leaves the song as rendered.
void TChecker::CheckLevels(const TProfileIni& ini, const std::string& section) {
  const std::string resampler = ini.String(section, ResamplerKey, "");
  if (!resampler.empty() && !ParseResampler(resampler.c_str())) {
    std::string names;
    for (const char* name : ResamplerNames) names += (names.empty() ? "" : ", ") + std::string(name);
    Warn(PlayListFileName, Place(section, ResamplerKey),
         Quote(resampler) + " is none of " + names + ": the song plays as rendered");
  }
  for (const TLevelKey* key : {&GainKey, &SeparationKey}) {
    const std::string value = ini.String(section, key->name, "");
    float level = 0;
    if (value.empty() || ParseLevel(value.c_str(), *key, level)) continue;
    Warn(PlayListFileName, Place(section, key->name),
         Quote(value) + " is not a number from " + std::to_string(int(key->lowest)) + " to " +
             std::to_string(int(key->highest)) + (key == &GainKey ? " (dB)" : " (percent)") +
             ": the song plays as rendered");
  }
}

void TChecker::CheckPlayList() {
  std::vector<uint8_t> bytes;
  const TFileRead read = folder.ReadFile(PlayListFileName, bytes);
  if (read != TFileRead::Ok) {
    if (skinSongs.empty())
      Error(PlayListFileName, "", Unreadable(read) + ": the disk has no songs");
    else
      Warn(PlayListFileName, "", Unreadable(read) + ": the songs have no pictures");
    for (size_t i = 0; i < skinSongs.size(); ++i) CheckSong(skinSongs[i], i == 0);
    return;
  }
  const TProfileIni ini(bytes);
  CheckEncoding(bytes, ini, PlayListFileName);
  ReportRepeats(ini, PlayListFileName);
  const std::string noInfo = ini.String(MusicSection, NoInfoKey, "");

  // A song is added once its file is read.
  struct TListed {
    TSongRef song;
    std::vector<TPictureRef> pictures;
  };
  std::vector<TListed> listed;
  const auto [index, stop] = ReadSongList(noInfo.c_str(), [&](const char* section, const TSongKey& key,
                                                              const char* fallback) {
    const std::string value = ini.String(section, key.name, fallback);
    if (value.empty()) return false;
    const std::string place = Place(section, key.name);
    if (key.row < 0)
      listed.push_back({{PlayListFileName, place, value}, {}});
    else
      listed.back().pictures.push_back(
          {place, value, key.noInfoFallback && !HasValue(ini, section, key.name), !key.noInfoFallback});
    return true;
  });
  const std::string stopSection = SongSectionPrefix + std::to_string(index);
  const std::string stopPlace = Place(stopSection, stop->name);
  if (stop != SongKeys) {
    // What the song that stops the list is added with, by the key that stops it.
    const char* const without[] = {"", "without pictures", "with only its pic1 picture", "without a title picture"};
    const bool noFallback = stop->noInfoFallback && !HasValue(ini, stopSection, stop->name);
    Warn(PlayListFileName, stopPlace,
         Absence(ini, stopSection, stop->name) + (noFallback ? " and [Music] NoInfo is empty" : "") +
             ": the song is added " + without[stop - SongKeys] + " and the list stops here");
  } else if (listed.empty() && skinSongs.empty()) {
    Error(PlayListFileName, stopPlace, Absence(ini, stopSection, stop->name) + ": the disk has no songs");
  }

  for (const TProfileIni::TSection& s : ini.Sections())
    if (ini.FindSection(s.name) == &s)
      WarnNeverRead(PlayListFileName, Place(s.name), s.name, SongSectionPrefix, uint64_t(index) + 1, stopPlace,
                    Absence(ini, stopSection, stop->name));

  size_t withPictures = 0;
  for (const TListed& l : listed) withPictures += l.pictures.empty() ? 0 : 1;
  if (!skinSongs.empty() && withPictures)
    Warn(SkinFileName, Place(MusicSection),
         "the songs listed here come before those of PlayList.ini, but its song pictures stay in their "
         "order: each song shows the pictures meant for the song " +
             Count(skinSongs.size(), "place") + " later");

  for (size_t i = 0; i < skinSongs.size(); ++i) CheckSong(skinSongs[i], i == 0);
  std::vector<const TPictureRef*> noInfoUsers;  // one report for the one value to mend
  std::vector<TShown> infos, titles;
  for (const TListed& l : listed) {
    CheckSong(l.song, skinSongs.empty() && &l == &listed.front());
    CheckLevels(ini, SongSectionPrefix + std::to_string(&l - listed.data()));
    for (const TPictureRef& p : l.pictures) {
      if (p.fromNoInfo)
        noInfoUsers.push_back(&p);
      else
        (p.title ? titles : infos)
            .push_back(
                {p.place, p.name,
                 LookUpPicture(PlayListFileName, p.place, p.name, std::string(CannotFindBox) + " while the song plays",
                               p.title ? OtherCopies : InfoCopies)});
    }
  }
  if (!noInfoUsers.empty()) {
    std::string users = noInfoUsers.front()->place;
    if (noInfoUsers.size() > 1) users += " and " + std::to_string(noInfoUsers.size() - 1) + " more";
    const std::string place = Place(MusicSection, NoInfoKey);
    infos.push_back({place, noInfoUsers.front()->name,
                     LookUpPicture(PlayListFileName, place, noInfoUsers.front()->name,
                                   std::string(CannotFindBox) + " while a song plays that has no picture of its own (" +
                                       users + ")",
                                   InfoCopies)});
  }
  CheckOnePlace(infos, "InfoX/InfoY", "where the larger one stood, the background shows around the smaller one");
  CheckOnePlace(titles, "TitleX/TitleY", "the larger one's edges stay on screen around the smaller one");
}

// Pictures drawn at one place, each over the one before.
void TChecker::CheckOnePlace(const std::vector<TShown>& shown, const std::string& where,
                             const std::string& consequence) {
  const TShown* first = nullptr;
  std::set<std::string> seen;
  for (const TShown& s : shown) {
    if (!s.picture || !s.picture->fault.empty() || !seen.insert(FoldAscii(s.name)).second) continue;
    if (!first)
      first = &s;
    else if (const std::string differs = OtherSize(s, *first); !differs.empty())
      Warn(PlayListFileName, s.place, differs + ", both shown at " + where + ": " + consequence);
  }
}
