// The player behind IOrvelPlayer: the loaded songs, the selection and the play state.
#pragma once
#include <map>
#include <memory>
#include <mutex>

#include "OrvelPlayer.h"
#include "SongSource.h"

class TOrvelPlayer : public IOrvelPlayer {
 public:
  TOrvelPlayer() = default;
  TOrvelPlayer(const TOrvelPlayer&) = delete;
  TOrvelPlayer& operator=(const TOrvelPlayer&) = delete;
  virtual ~TOrvelPlayer() {}

  int GetVersion() override;
  int Init(const TPlayerSettings* settings) override;
  void Shutdown() override;
  TSongHandle LoadSong(const char* fileName) override;
  int32_t GetSongLength(TSongHandle song) override;
  int FreeSong(TSongHandle song) override;
  int SelectSong(TSongHandle song) override;
  int SetState(int state) override;
  int SetPosition(int position) override;
  int32_t GetPosition() override;
  int Render(float* buffer, int frames) override;
  int SetListener(IPlayerListener* listener) override;
  TSongHandle LoadSongResampled(const char* fileName, int resampler) override;

 private:
  TSongHandle LoadSongFrom(const char* fileName, int resampler);
  // Builds the selected song anew if a rewind is pending; the lock is let go while that runs.
  void CarryOutRewind(std::unique_lock<std::recursive_mutex>& held);

  struct TSong {
    // Shared so that a rewind can build the song anew from it outside the lock.
    std::shared_ptr<TSongSource> source;
    bool endNotified = false;
    // A rewind is carried out only when the song plays again: a song rewound and then freed, as
    // every change of song does, is never built anew for nothing.
    bool rewindPending = false;
    // A rewind is being built outside the lock: meanwhile the song plays on where it was.
    bool rewinding = false;
  };

  // Recursive so that a listener may call back into the player from Notify.
  std::recursive_mutex lock;
  bool ready = false;
  TRenderSettings settings;
  std::map<TSongHandle, TSong> songs;
  TSongHandle lastHandle = 0;
  TSongHandle selected = 0;
  bool playing = false;
  IPlayerListener* listener = nullptr;
};
