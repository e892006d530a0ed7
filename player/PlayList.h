// The songs of the disk in playing order, the picture names of each song and the current song.
// No Windows here: the data and the stepping are tested natively too.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

constexpr int8_t PictureRowCount = 3;  // 0 = pic0, 1 = pic1, 2 = TitlePic

// How loud and how wide a song is played, as its author set it.
struct TSongLevel {
  float gainDb = 0.0f;
  float separation = 100.0f;  // percent
};

class TPlayList {
public:
  // Index of the current song. Stepping and lookups cope with any value, negative included.
  int32_t currentIndex = 0;

  int32_t AddSong(const char* name);
  int32_t AddPicture(int8_t row, const char* name);

  // The returned names belong to the playlist. With no songs there is no name (null),
  // and the callers treat that as a song that did not load.
  const char* CurrentSong() const;
  const char* StepForward();
  const char* StepBack();
  // Null while the index is negative, or when the row has no entry at it.
  const char* GetPicture(int8_t row) const;

  // The level of song `index`, as rendered until set; indices without a song are passed over.
  void SetLevel(int32_t index, TSongLevel level);
  TSongLevel CurrentLevel() const;
  // The library's resampler code of song `index`, 0 (as rendered) until set.
  void SetResampler(int32_t index, int32_t resampler);
  int32_t CurrentResampler() const;

  int32_t SongCount() const { return int32_t(songs.size()); }
  int32_t PictureCount(int8_t row) const;

private:
  using TOwnedName = std::unique_ptr<char[]>;
  struct TSongSound {
    TSongLevel level;
    int32_t resampler = 0;
  };
  bool HasSong(int32_t index) const { return index >= 0 && index < SongCount(); }
  std::vector<TOwnedName> songs;
  std::vector<TSongSound> sounds;  // one per song
  std::vector<TOwnedName> pictures[PictureRowCount];
};

// The one playlist: empty until skin.ini and PlayList.ini fill it.
extern TPlayList* PlayList;
