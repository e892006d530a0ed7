#include "player/PlayList.h"

TPlayList* PlayList = nullptr;

#include <cstring>

namespace {

std::unique_ptr<char[]> CopyName(const char* name) {
  const size_t size = std::strlen(name) + 1;
  std::unique_ptr<char[]> copy(new char[size]);
  std::memcpy(copy.get(), name, size);
  return copy;
}

bool IsRow(int8_t row) { return row >= 0 && row < PictureRowCount; }

}  // namespace

int32_t TPlayList::AddSong(const char* name) {
  songs.push_back(CopyName(name));
  sounds.emplace_back();
  return SongCount() - 1;
}

int32_t TPlayList::AddPicture(int8_t row, const char* name) {
  if (!IsRow(row)) return -1;
  pictures[row].push_back(CopyName(name));
  return int32_t(pictures[row].size()) - 1;
}

const char* TPlayList::CurrentSong() const {
  if (!HasSong(currentIndex)) return nullptr;
  return songs[size_t(currentIndex)].get();
}

const char* TPlayList::StepForward() {
  const int32_t count = SongCount();
  if (count == 0) return nullptr;
  // Read unsigned, so a negative index also goes to the first song.
  if (uint32_t(currentIndex) < uint32_t(count - 1))
    ++currentIndex;
  else
    currentIndex = 0;
  return CurrentSong();
}

const char* TPlayList::StepBack() {
  const int32_t count = SongCount();
  if (count == 0) return nullptr;
  if (currentIndex > 0)
    --currentIndex;
  else
    currentIndex = count - 1;
  return CurrentSong();
}

const char* TPlayList::GetPicture(int8_t row) const {
  if (!IsRow(row) || currentIndex < 0) return nullptr;
  const auto& names = pictures[row];
  if (size_t(currentIndex) >= names.size()) return nullptr;
  return names[size_t(currentIndex)].get();
}

void TPlayList::SetLevel(int32_t index, TSongLevel level) {
  if (HasSong(index)) sounds[size_t(index)].level = level;
}

TSongLevel TPlayList::CurrentLevel() const {
  return HasSong(currentIndex) ? sounds[size_t(currentIndex)].level : TSongLevel();
}

void TPlayList::SetResampler(int32_t index, int32_t resampler) {
  if (HasSong(index)) sounds[size_t(index)].resampler = resampler;
}

int32_t TPlayList::CurrentResampler() const {
  return HasSong(currentIndex) ? sounds[size_t(currentIndex)].resampler : 0;
}

int32_t TPlayList::PictureCount(int8_t row) const {
  return IsRow(row) ? int32_t(pictures[row].size()) : 0;
}
