#include "OrvelCore.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "common/StdioFile.h"

namespace {

constexpr size_t MaxSongFileBytes = size_t(512) << 20;
constexpr int MinSampleRate = 8000;
constexpr int MaxSampleRate = 192000;

bool ReadSongFile(const char* fileName, std::vector<uint8_t>& bytes) {
  TStdioFile file(std::fopen(fileName, "rb"));
  return file && ReadWholeFile(file.get(), bytes, MaxSongFileBytes);
}

bool ValidInterpolation(int length) { return length == 1 || length == 2 || length == 4 || length == 8; }

int32_t ClampToInt32(int64_t value) {
  return value > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : int32_t(value);
}

}  // namespace

int TOrvelPlayer::GetVersion() { return OrvelVersion; }

int TOrvelPlayer::Init(const TPlayerSettings* requested) {
  if (!requested || !ValidInterpolation(requested->interpolation) || requested->reserved1 != 0 ||
      requested->reserved2 != 0 || requested->sampleRate < MinSampleRate || requested->sampleRate > MaxSampleRate)
    return 1;
  std::lock_guard<std::recursive_mutex> guard(lock);
  songs.clear();
  selected = 0;
  playing = false;
  settings.sampleRate = requested->sampleRate;
  settings.interpolation = requested->interpolation;
  ready = true;
  return 0;
}

void TOrvelPlayer::Shutdown() {
  std::map<TSongHandle, TSong> released;
  {
    std::lock_guard<std::recursive_mutex> guard(lock);
    released.swap(songs);
    selected = 0;
    playing = false;
    listener = nullptr;
    ready = false;
  }
}

TSongHandle TOrvelPlayer::LoadSong(const char* fileName) {
  return LoadSongResampled(fileName, OrvelResamplerDefault);
}

TSongHandle TOrvelPlayer::LoadSongResampled(const char* fileName, int resampler) {
  // Running out of memory on a huge song must not throw across the DLL boundary.
  try {
    return LoadSongFrom(fileName, resampler);
  } catch (...) {
    return 0;
  }
}

TSongHandle TOrvelPlayer::LoadSongFrom(const char* fileName, int resampler) {
  TRenderSettings current;
  {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!ready) return 0;
    current = settings;
  }
  if (!fileName) return 0;
  // Decoding happens outside the lock so that Render keeps going meanwhile.
  std::vector<uint8_t> bytes;
  if (!ReadSongFile(fileName, bytes)) return 0;
  std::shared_ptr<TSongSource> source = OpenSongSource(std::move(bytes), WithResampler(current, resampler));
  if (!source) return 0;

  std::lock_guard<std::recursive_mutex> guard(lock);
  if (!ready || settings.sampleRate != current.sampleRate || settings.interpolation != current.interpolation)
    return 0;
  do {
    ++lastHandle;
  } while (lastHandle == 0 || songs.count(lastHandle));
  songs.emplace(lastHandle, TSong{std::move(source), false});
  return lastHandle;
}

int32_t TOrvelPlayer::GetSongLength(TSongHandle song) {
  std::lock_guard<std::recursive_mutex> guard(lock);
  auto found = songs.find(song);
  return found == songs.end() ? -1 : ClampToInt32(found->second.source->Length());
}

int TOrvelPlayer::FreeSong(TSongHandle song) {
  std::shared_ptr<TSongSource> released;
  std::lock_guard<std::recursive_mutex> guard(lock);
  auto found = songs.find(song);
  if (found == songs.end()) return 1;
  released = std::move(found->second.source);
  songs.erase(found);
  if (selected == song) selected = 0;
  return 0;
}

int TOrvelPlayer::SelectSong(TSongHandle song) {
  std::lock_guard<std::recursive_mutex> guard(lock);
  if (song != 0 && !songs.count(song)) return 1;
  selected = song;
  return 0;
}

int TOrvelPlayer::SetState(int state) {
  if (state != OrvelStatePlay && state != OrvelStateStop) return 1;
  std::unique_lock<std::recursive_mutex> held(lock);
  if (state == OrvelStatePlay) CarryOutRewind(held);
  playing = state == OrvelStatePlay;
  return 0;
}

int TOrvelPlayer::SetPosition(int position) {
  if (position < 0) return 1;
  std::lock_guard<std::recursive_mutex> guard(lock);
  auto found = songs.find(selected);
  if (found == songs.end()) return 1;
  TSong& song = found->second;
  song.endNotified = false;
  if (position == 0) {
    song.rewindPending = song.rewindPending || song.source->Position() != 0 || song.source->AtEnd();
    return 0;
  }
  // A rewind being built meanwhile is dropped when it is done: the seek came after it.
  song.rewindPending = false;
  try {
    song.source->Seek(position);
  } catch (...) {
    return 1;  // out of memory
  }
  return 0;
}

void TOrvelPlayer::CarryOutRewind(std::unique_lock<std::recursive_mutex>& held) {
  auto found = songs.find(selected);
  if (found == songs.end() || !found->second.rewindPending || found->second.rewinding) return;
  const TSongHandle song = selected;
  std::shared_ptr<TSongSource> source = found->second.source;
  std::shared_ptr<TSongSource> fresh;
  found->second.rewinding = true;
  // A module is parsed anew out here, so that Render is not held up for as long as that takes.
  held.unlock();
  bool built = true;
  try {
    fresh = source->Restarted();
  } catch (...) {
    built = false;  // out of memory: the song stays where it was, the rewind still pending
  }
  held.lock();
  found = songs.find(song);
  if (found == songs.end() || found->second.source != source) return;  // freed meanwhile
  found->second.rewinding = false;
  if (!built || !found->second.rewindPending) return;
  if (fresh)
    found->second.source.swap(fresh);
  else
    found->second.source->Rewind();
  found->second.rewindPending = false;
}

int32_t TOrvelPlayer::GetPosition() {
  std::lock_guard<std::recursive_mutex> guard(lock);
  auto found = songs.find(selected);
  if (found == songs.end()) return -1;
  return found->second.rewindPending ? 0 : ClampToInt32(found->second.source->Position());
}

int TOrvelPlayer::Render(float* buffer, int frames) {
  if (!buffer || frames <= 0) return 1;
  const size_t wanted = size_t(frames);
  std::unique_lock<std::recursive_mutex> held(lock);
  if (playing) CarryOutRewind(held);
  auto found = songs.find(selected);
  size_t written = 0;
  if (playing && found != songs.end() && (!found->second.rewindPending || found->second.rewinding))
    written = found->second.source->Read(buffer, wanted);
  std::memset(buffer + 2 * written, 0, (wanted - written) * 2 * sizeof(float));
  // The end is told by the first render with nothing of the song left in it: whatever came before
  // is then already on its way to the listener, whole.
  if (!playing || written != 0 || found == songs.end() || found->second.rewindPending ||
      !found->second.source->AtEnd() || found->second.endNotified)
    return 0;
  found->second.endNotified = true;
  // Last, and under the lock: once SetListener returns, the old listener hears nothing more.
  if (listener) listener->Notify(OrvelEventSongEnded, int(selected));
  return 0;
}

int TOrvelPlayer::SetListener(IPlayerListener* newListener) {
  std::lock_guard<std::recursive_mutex> guard(lock);
  listener = newListener;
  return 0;
}
