// A disk folder as the program reads it: its files, the sections and keys of its two INI files,
// the six buttons and the commands they post, and how numbered lists are read. The program,
// `vfspack check` and `vfspack songs` all read a disk by these; scripts/lib/disk_format.py is
// their twin for the scripts. Header only and without Windows, so that the program takes in only
// the names it uses.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/BoundedText.h"

constexpr const char* ArchiveFileName = "data.vfs";
constexpr const char* SkinFileName = "skin.ini";
constexpr const char* PlayListFileName = "PlayList.ini";
// The archive entry whose alpha gives the window its size and outline.
constexpr const char* BackgroundEntry = "pic.png";

// Both INI files: skin.ini lists extra songs (song0, song1, ...) in it; PlayList.ini places the
// song pictures and names the caption and the NoInfo picture.
constexpr const char* MusicSection = "Music";
constexpr const char* SongKeyPrefix = "song";
// Where something is drawn: the keys of its two coordinates.
struct TPlaceKeys {
  const char* x;
  const char* y;
};
constexpr TPlaceKeys InfoPlaceKeys = {"InfoX", "InfoY"};
constexpr TPlaceKeys TitlePlaceKeys = {"TitleX", "TitleY"};
constexpr const char* NoInfoKey = "NoInfo";
constexpr const char* TitleKey = "Title";

// PlayList.ini's song sections song0, song1, ...: their keys in reading order. The value of each
// goes to the song list (row -1) or to a picture row; the info pictures fall back to NoInfo.
// The first empty value ends the whole list, whatever was added before it in that section.
constexpr const char* SongSectionPrefix = "song";
struct TSongKey {
  const char* name;
  int8_t row;
  bool noInfoFallback;
};
constexpr TSongKey SongKeys[] = {{"file", -1, false}, {"pic1", 1, true}, {"pic0", 0, true}, {"TitlePic", 2, false}};

// The codes the skin buttons post.
enum TCommand : int {
  cmdRewind = 1,
  cmdPlayPause = 2,
  cmdStop = 4,
  cmdForward = 5,
  cmdEject = 6,  // posted by the eject button, acted on by nobody: the button closes the window
  cmdInfo = 7,
};

// Optional keys of a song section, read after its own: the song's gain in dB and its stereo width
// in percent. Missing or empty means as rendered; a value that is no plain decimal number or lies
// outside its range is ignored.
struct TLevelKey {
  const char* name;
  float lowest, highest, neutral;
};
constexpr TLevelKey GainKey = {"Gain", -30.0f, 30.0f, 0.0f};
constexpr TLevelKey SeparationKey = {"Separation", 0.0f, 200.0f, 100.0f};

// An optional sign, digits, and a point with more digits: what an author writes, in every locale.
inline bool ParseLevel(const char* text, const TLevelKey& key, float& value) {
  const char* c = text + (*text == '-' || *text == '+');
  double number = 0, scale = 1;
  bool digits = false, point = false;
  for (; *c; ++c) {
    if (*c == '.' && !point) {
      point = true;
    } else if (*c >= '0' && *c <= '9') {
      digits = true;
      if (point) scale /= 10;
      number = number * 10 + (*c - '0');
    } else {
      return false;
    }
  }
  number *= *text == '-' ? -scale : scale;
  if (!digits || number < key.lowest || number > key.highest) return false;
  value = float(number);
  return true;
}

// Optional too: how the song's tracker module is resampled. The values are the library's resampler
// codes from 1 on, in order; a value not among them, in any case, plays as if the key were missing.
constexpr const char* ResamplerKey = "Resampler";
constexpr const char* ResamplerNames[] = {"amiga", "a500", "a1200", "unfiltered", "none", "linear", "cubic", "sinc"};

// The code of a resampler name, ASCII letters in either case; 0 for none of them.
inline int32_t ParseResampler(const char* text) {
  for (int32_t code = 1; code <= int32_t(sizeof ResamplerNames / sizeof *ResamplerNames); ++code) {
    const char *name = ResamplerNames[code - 1], *c = text;
    while (*name && (*c == *name || (*c >= 'A' && *c <= 'Z' && *c - 'A' + 'a' == *name))) ++c, ++name;
    if (!*name && !*c) return code;
  }
  return 0;
}

// skin.ini's six button sections in slot order: the command each button posts, and the states it
// draws (pic0, pic1, ...).
constexpr TPlaceKeys ButtonPlaceKeys = {"X", "Y"};
constexpr const char* PictureKeyPrefix = "pic";
struct TButtonSection {
  const char* section;
  TCommand command;
  int states;
};
constexpr int ButtonCount = 6;
constexpr TButtonSection ButtonSections[ButtonCount] = {
    {"ButtonRewind", cmdRewind, 4}, {"ButtonPlayPause", cmdPlayPause, 6}, {"ButtonStop", cmdStop, 4},
    {"ButtonForward", cmdForward, 4}, {"ButtonEject", cmdEject, 4},       {"ButtonInfo", cmdInfo, 4}};

// skin.ini's optional sections: the level meter (a rectangle of bars lit from a picture the
// rectangle's size), the clock (a strip of eleven glyphs of one width: 0 to 9, then ':'), and the
// seek and volume bars (a rectangle and its picture fully lit, lit from the left in proportion to
// the heard position or the volume, from the bottom when taller than wide; a press sets it).
// A section without one of its keys (Gap aside, which reads as 0) shows nothing.
constexpr const char* MeterSection = "Meter";
constexpr const char* ClockSection = "Clock";
constexpr const char* SeekSection = "Seek";
constexpr const char* VolumeSection = "Volume";
constexpr TPlaceKeys FacePlaceKeys = ButtonPlaceKeys;
constexpr const char* FaceWidthKey = "Width";
constexpr const char* FaceHeightKey = "Height";
constexpr const char* MeterBarsKey = "Bars";
constexpr const char* MeterGapKey = "Gap";
constexpr const char* FacePictureKey = "pic";
constexpr int32_t ClockGlyphs = 11;
// The width of each bar, which may come out below one pixel.
inline int32_t MeterBarWidth(int32_t width, int32_t bars, int32_t gap) {
  return bars > 0 ? int32_t((int64_t(width) - int64_t(gap) * (bars - 1)) / bars) : 0;
}

// Numbered names are "%d" after their prefix: from 0 upwards, without leading zeros, until the
// first number whose value is missing or empty.
struct TNumbered {
  char text[20];
};
inline TNumbered NumberedName(const char* prefix, int32_t n) {
  TNumbered name;
  TBoundedText(name.text, sizeof name.text).Add(prefix).Decimal(n);
  return name;
}

// A name of the form prefix + digits, the prefix compared without regard to ASCII case: whether
// it is one, its number (stopping just past INT32_MAX), and whether "%d" ever spells it so.
struct TNumberedName {
  bool is = false;
  bool spelt = false;
  uint64_t number = 0;
};
inline TNumberedName ParseNumberedName(const char* name, const char* prefix) {
  TNumberedName n;
  for (; *prefix; ++name, ++prefix) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (fold(*name) != fold(*prefix)) return n;
  }
  size_t digits = 0;
  for (const char* c = name; *c; ++c, ++digits) {
    if (*c < '0' || *c > '9') return n;
    n.number = n.number * 10 + uint64_t(*c - '0');
    if (n.number > uint64_t(INT32_MAX) + 1) n.number = uint64_t(INT32_MAX) + 1;
  }
  n.is = digits > 0;
  n.spelt = n.is && digits <= 9 && (digits == 1 || name[0] != '0');
  return n;
}

// Reads a numbered list: `take(name)` reads the value of each name in turn, keeps it and says
// whether it was there. Returns how many were taken.
template <typename TTake>
int32_t ReadNumberedList(const char* prefix, TTake&& take) {
  int32_t n = 0;
  while (n < INT32_MAX && take(NumberedName(prefix, n).text)) ++n;
  return n;
}

// Where the song list ends: the section and key of the first empty value.
struct TSongListEnd {
  int32_t section;
  const TSongKey* key;
};

// Reads the song sections in order, for the program and the tools alike: `take(section, key,
// fallback)` reads a value (the fallback standing in for a missing one), keeps it and says whether
// it was there.
template <typename TTake>
TSongListEnd ReadSongList(const char* noInfo, TTake&& take) {
  const TSongKey* stop = SongKeys;
  const int32_t sections = ReadNumberedList(SongSectionPrefix, [&](const char* section) {
    for (const TSongKey& key : SongKeys)
      if (!take(section, key, key.noInfoFallback ? noInfo : "")) {
        stop = &key;
        return false;
      }
    return true;
  });
  return {sections, stop};
}
