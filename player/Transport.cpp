#include "player/Transport.h"

#include "OrvelPlayer.h"
#include "app/Commands.h"
#include "app/Globals.h"
#include "audio/SoundStream.h"
#include "player/PlayList.h"
#include "player/PlayerListener.h"
#include "player/SampleConversion.h"

std::atomic<uint8_t> PlayingFlag{0};
std::atomic<uint8_t> PausedFlag{0};

namespace {

HWND PlayerWindow = nullptr;
IOrvelPlayer* Player = nullptr;
TSoundStream* Stream = nullptr;
TSongHandle CurrentSongHandle = 0;
// Only the worker draws from it; the sequence runs on from song to song.
TDitherGenerator Dither;

const uint32_t StreamMs = 2000;
// The worker answers within a second while the buffers play; one that has not in three is stuck.
const uint32_t StopTimeoutMs = 3000;
// Lets a refill that began before the stop finish with the library before it is rewound.
const DWORD RewindDelayMs = 200;

bool IsStopped() { return !PlayingFlag && !PausedFlag; }

}  // namespace

bool StartPlayer(HWND window) {
  PlayerWindow = window;
  Player = IOrvelPlayer::GetOrvelPlayer();
  const TPlayerSettings settings = {OrvelFilterCubic, 0, 44100, 0};
  const int rc = Player->Init(&settings);
  PlayerListener.SetCallback(OnPlayerEvent);
  if (rc == 0) Player->SetListener(&PlayerListener);
  try {
    Stream = new TSoundStream(window);
  } catch (...) {
    Stream = nullptr;
    return false;
  }
  Stream->renderProc = OnStreamRender;
  Stream->CreateBuffers(StreamMs);
  return rc == 0;
}

void ShutdownPlayer() {
  if (Stream) {
    delete Stream;
    Stream = nullptr;
  }
  if (Player) Player->Shutdown();
  if (PlayList) {
    delete PlayList;
    PlayList = nullptr;
  }
}

bool OpenSong(const char* name) {
  CurrentSongHandle = 0;
  if (!name) return false;
  const TSongHandle handle = Player->LoadSong(name);
  CurrentSongHandle = handle;
  if (handle != 0) {
    Player->SelectSong(handle);
    Player->SetPosition(0);
  }
  return handle != 0;
}

void PlaySong() {
  PausedFlag = 0;
  PlayingFlag = 1;
  Player->SetState(OrvelStatePlay);
  if (Stream) Stream->Start();
  PostMessageA(PlayerWindow, WM_SONG_STARTED, 0, 0);
}

void PauseSong() {
  PlayingFlag = 0;
  PausedFlag = 1;
  if (Stream) Stream->Stop();
  Player->SetState(OrvelStateStop);
}

void StopSong() {
  if (IsStopped()) return;
  PlayingFlag = 0;
  PausedFlag = 0;
  Player->SetState(OrvelStateStop);
  if (Stream) Stream->Stop();
  Sleep(RewindDelayMs);
  Player->SetPosition(0);
}

void StopSongAndWait() {
  if (IsStopped()) return;
  PlayingFlag = 0;
  PausedFlag = 0;
  Player->SetState(OrvelStateStop);
  if (Stream) Stream->StopAndWait(StopTimeoutMs);
  Sleep(RewindDelayMs);
  Player->SetPosition(0);
}

// While paused the buffers are stopped already, and nobody would answer the handshake.
void NextSong() {
  if (!PausedFlag || PlayingFlag) StopSongAndWait();
  Player->FreeSong(CurrentSongHandle);
  OpenSong(PlayList ? PlayList->StepForward() : nullptr);
  PlaySong();
}

void PreviousSong() {
  StopSong();
  Player->FreeSong(CurrentSongHandle);
  OpenSong(PlayList ? PlayList->StepBack() : nullptr);
  PlaySong();
}

void PlayerCommand(int code) {
  switch (code) {
    case cmdRewind:
      PreviousSong();
      break;
    case cmdPlayPause:
      if (PlayingFlag) {
        PauseSong();
      } else {
        PlaySong();
      }
      break;
    case cmdStop:
      StopSong();
      break;
    case cmdForward:
      NextSong();
      break;
    default:
      break;
  }
}

void OnPlayerEvent(int event, int) {
  if (event == OrvelEventSongEnded) PostMessageA(PlayerWindow, WM_PLAYER_COMMAND, cmdForward, 0);
}

void OnStreamRender(void* half, uint32_t bytes) { RenderSamples(half, bytes); }

void RenderSamples(void* half, uint32_t bytes) {
  RenderPcm(*Player, PlayingFlag, static_cast<int16_t*>(half), bytes >> 2, Dither);
}
