#include "player/Transport.h"

#include "OrvelPlayer.h"
#include "audio/SoundStream.h"
#include "player/Commands.h"
#include "player/PlayList.h"
#include "player/PlayerListener.h"
#include "player/SampleConversion.h"

TPlayerListener PlayerListener;

namespace {

HWND PlayerWindow = nullptr;
IOrvelPlayer* Player = nullptr;
TSoundStream* Stream = nullptr;
TSongHandle CurrentSongHandle = 0;
// Only the worker draws from it; the sequence runs on from song to song.
TDitherGenerator Dither;

const uint32_t StreamMs = 2000;
// The worker answers within a second while the buffers play; one that has not by then has lost
// its notifications, and the window must not wait on it any longer.
const uint32_t StopTimeoutMs = 1200;
// Lets a refill that began before the stop finish with the library before it is rewound.
const DWORD RewindDelayMs = 200;

// The song whose end the library told and whose last frames are being heard: the worker stops
// the stream once they have played, and the change of song follows on the window thread. Until
// then the song is still the one heard, and every press acts on it.
std::atomic<TSongHandle> EndingSong{0};

bool IsStopped() { return !PlayingFlag && !PausedFlag; }

// After the worker stopped the stream on request: if that was for the end of a song, its change
// of song is due.
void OnStreamStopped() {
  if (const TSongHandle song = EndingSong) PostMessageA(PlayerWindow, WM_PLAYER_COMMAND, cmdForward, LPARAM(song));
}

TSoundStream* MakeStream(bool quiet) {
  TSoundStream* stream = nullptr;
  try {
    stream = new TSoundStream(PlayerWindow, quiet);
  } catch (...) {
    return nullptr;
  }
  stream->SetRenderProc(OnStreamRender);
  stream->SetStoppedProc(OnStreamStopped);
  stream->CreateBuffers(StreamMs);
  return stream;
}

// A device that stopped answering is let go, and a new stream made on whatever device is there
// now; without one the song plays on in silence, and the next start tries again.
void ReopenLostStream() {
  if (Stream && !Stream->IsLost()) return;
  delete Stream;
  Stream = MakeStream(true);
}

// Told twice: by the library once it has rendered past the song's end, and again by the worker
// once the song's last frames have played.
void OnSongEnded(TSongHandle song) {
  if (song == 0 || song != CurrentSongHandle || IsStopped()) return;  // left, or stopped and rewound
  if (EndingSong != song) {
    EndingSong = song;
    if (PausedFlag) return;  // the resume asks for the stop
    if (Stream && !Stream->IsLost()) {
      Stream->RequestStop();
      return;
    }
  } else if (!PlayingFlag) {
    return;
  }
  NextSong();
}

}  // namespace

bool StartPlayer(HWND window) {
  PlayerWindow = window;
  Player = IOrvelPlayer::GetOrvelPlayer();
  const TPlayerSettings settings = {OrvelFilterCubic, 0, 44100, 0};
  const int rc = Player->Init(&settings);
  PlayerListener.SetCallback(OnPlayerEvent);
  if (rc == 0) Player->SetListener(&PlayerListener);
  Stream = MakeStream(false);
  return Stream && rc == 0;
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
  const bool resuming = PausedFlag;
  PausedFlag = 0;
  PlayingFlag = 1;
  Player->SetState(OrvelStatePlay);
  if (resuming && Stream && !Stream->IsLost()) {
    Stream->Resume();
    if (EndingSong) Stream->RequestStop();
  } else {
    // A song whose end was told before the stream was lost: its last frames went with the old
    // buffer, and its end is told again to the new one.
    const TSongHandle ended = EndingSong.exchange(0);
    ReopenLostStream();
    if (Stream) Stream->Start();
    if (resuming && ended) PostMessageA(PlayerWindow, WM_PLAYER_COMMAND, cmdForward, LPARAM(ended));
  }
  PostMessageA(PlayerWindow, WM_SONG_STARTED, 0, 0);
}

// The buffers stop first and the flags after, so that a refill under way still renders music: it
// is heard on resume, with the rest of what was rendered.
void PauseSong() {
  if (Stream) Stream->Pause();
  PlayingFlag = 0;
  PausedFlag = 1;
  Player->SetState(OrvelStateStop);
}

void StopSong() {
  if (IsStopped()) return;
  EndingSong = 0;
  PlayingFlag = 0;
  PausedFlag = 0;
  Player->SetState(OrvelStateStop);
  if (Stream) Stream->Stop();
  Sleep(RewindDelayMs);
  Player->SetPosition(0);
}

// No rewind and no wait for a refill: the song is freed next, and the handshake leaves no
// refill under way.
void StopSongAndWait() {
  if (IsStopped()) return;
  EndingSong = 0;
  PlayingFlag = 0;
  PausedFlag = 0;
  Player->SetState(OrvelStateStop);
  if (Stream) Stream->StopAndWait(StopTimeoutMs);
}

// While paused the buffers are stopped already, and nobody would answer the handshake.
void NextSong() {
  if (!PausedFlag || PlayingFlag) StopSongAndWait();
  PausedFlag = 0;
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

void OnPlayerCommandMessage(int code, LPARAM songEnded) {
  if (!songEnded)
    PlayerCommand(code);
  else if (code == cmdForward)
    OnSongEnded(TSongHandle(songEnded));
}

// The handle marks the end apart from a press of forward, whose lParam is 0.
void OnPlayerEvent(int event, int param) {
  if (event == OrvelEventSongEnded && param != 0)
    PostMessageA(PlayerWindow, WM_PLAYER_COMMAND, cmdForward, LPARAM(TSongHandle(param)));
}

void OnStreamRender(void* half, uint32_t bytes) { RenderSamples(half, bytes); }

void RenderSamples(void* half, uint32_t bytes) {
  RenderPcm(*Player, PlayingFlag, static_cast<int16_t*>(half), bytes >> 2, Dither);
}
