// A disk folder as the program reads it: its files, the sections and keys of its two INI files,
// the six buttons and how numbered lists are read. The program, `vfspack check` and
// `vfspack songs` all read a disk by these; scripts/lib/disk_format.py is their twin for the
// scripts. Header only and without Windows, so that the program takes in only the names it uses.
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
constexpr const char* InfoXKey = "InfoX";
constexpr const char* InfoYKey = "InfoY";
constexpr const char* TitleXKey = "TitleX";
constexpr const char* TitleYKey = "TitleY";
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

// skin.ini's six button sections in slot order: the code of the TCommand each button posts, and
// the states it draws (pic0, pic1, ...).
constexpr const char* ButtonXKey = "X";
constexpr const char* ButtonYKey = "Y";
constexpr const char* PictureKeyPrefix = "pic";
struct TButtonSection {
  const char* section;
  int command;
  int states;
};
constexpr int ButtonSectionCount = 6;
constexpr TButtonSection ButtonSections[ButtonSectionCount] = {{"ButtonRewind", 1, 4}, {"ButtonPlayPause", 2, 6},
                                                               {"ButtonStop", 4, 4},   {"ButtonForward", 5, 4},
                                                               {"ButtonEject", 6, 4},  {"ButtonInfo", 7, 4}};

// skin.ini's two optional sections: the level meter (a rectangle of bars lit from a picture the
// rectangle's size) and the clock (a strip of eleven glyphs of one width: 0 to 9, then ':').
// A section without one of its keys (Gap aside, which reads as 0) shows nothing.
constexpr const char* MeterSection = "Meter";
constexpr const char* ClockSection = "Clock";
constexpr const char* FaceXKey = "X";
constexpr const char* FaceYKey = "Y";
constexpr const char* MeterWidthKey = "Width";
constexpr const char* MeterHeightKey = "Height";
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
constexpr size_t NumberedNameSize = 20;
inline void NumberedName(char* out, size_t size, const char* prefix, int32_t n) {
  TBoundedText(out, size).Add(prefix).Decimal(n);
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
