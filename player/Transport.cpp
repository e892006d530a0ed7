#include "player/Transport.h"

#include "OrvelPlayer.h"

#include <algorithm>
#include <cstring>
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
// The level of the song opened last, which the worker reads at each refill.
std::atomic<TSongLevel> SongLevel{TSongLevel()};

const uint32_t StreamMs = 2000;
// The worker answers within a second while the buffers play; one that has not by then has lost
// its notifications, and the window must not wait on it any longer.
const uint32_t StopTimeoutMs = 1200;
// While a song plays, a lost stream is looked for this often, and replaced at most this often.
const UINT_PTR StreamWatchTimerId = 10002;
const UINT StreamWatchMs = 500;
const DWORD StreamRetryMs = 3000;
DWORD LastStreamMadeAt = 0;

// The state this shares with the stream's worker, and the order of a stop, a pause and a song's
// end: see the table at the top of audio/SoundStream.cpp.
// Counts the play-throughs: each stop begins another.
std::atomic<uint32_t> PlayThrough{1};

// The song whose end the library told and whose last frames are being heard: the worker stops
// the stream once they have played, and the change of song follows on the window thread. Until
// then the song is still the one heard, and every press acts on it.
std::atomic<TSongHandle> EndingSong{0};

// What the cleared buffer stands for: where the song will start; while paused, where play
// resumes. The window thread's.
uint32_t PendingSongFrame = 0;

// The place the worker is to take the song to at its next rewrite: the play-through it was asked
// in (high 32 bits) and the frame (low 32 bits); 0 for none. A stop since, or a song's end told,
// drops it, so that it never plays the old song on.
std::atomic<uint64_t> SeekRequest{0};
// The paused place moved: the resume rewrites the buffer from there.
bool SeekWhilePaused = false;
// Presses that follow a seek within this time, or a held key, move on from its target rather
// than from what is still heard of the place before it.
const DWORD SeekFollowMs = 400;
uint32_t LastSeekFrame = 0;
DWORD LastSeekAt = 0;

// The worker, as it takes a rewrite.
bool OnStreamSeek() {
  const uint64_t request = SeekRequest.exchange(0);
  if (request == 0 || uint32_t(request >> 32) != PlayThrough || EndingSong) return false;
  Player->SetPosition(int(uint32_t(request)));
  return true;
}

void AskRewriteFrom(uint32_t frame) {
  SeekRequest = uint64_t(PlayThrough.load()) << 32 | frame;
  Stream->RequestRewrite();
}
// The worker's: what its last render put into the half, told to the stream right after.
THalfTag RenderedTag;
THalfTag TagRenderedHalf() { return RenderedTag; }

// The lParam of a WM_PLAYER_COMMAND: 0 for a press. An end of song carries the song (low 32 bits,
// never 0) and the play-through it was told in (high 32 bits), so that an end from before a stop
// and a play, or for a song since left, ends nothing.
static_assert(sizeof(LPARAM) >= 8, "an end message holds the song and its play-through");
LPARAM SongEndParam(TSongHandle song, uint32_t playThrough) {
  return LPARAM((uint64_t(playThrough) << 32) | song);
}
TSongHandle EndedSong(LPARAM param) { return TSongHandle(param); }
uint32_t EndedPlayThrough(LPARAM param) { return uint32_t(uint64_t(param) >> 32); }

bool IsStopped() { return !PlayingFlag && !PausedFlag; }

// Any thread. The play-through is read before the song: a stop in between clears the song first.
void PostSongEnd(TSongHandle song, uint32_t playThrough) {
  if (song) PostMessageA(PlayerWindow, WM_PLAYER_COMMAND, cmdForward, SongEndParam(song, playThrough));
}

// After the worker stopped the stream on request: if that was for the end of a song, its change
// of song is due.
void OnStreamStopped() {
  const uint32_t playThrough = PlayThrough;
  PostSongEnd(EndingSong, playThrough);
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
  stream->SetTagProc(TagRenderedHalf);
  stream->SetSeekProc(OnStreamSeek);
  stream->CreateBuffers(StreamMs);  // a failure leaves the stream lost
  stream->SetVolume(BufferVolume(ListenerVolume));
  return stream;
}

// A device that stopped answering is let go, and a new stream made on whatever device is the
// default now; without one the song waits where it is, for the next press or the watch.
void ReplaceStream() {
  delete Stream;
  Stream = MakeStream(true);
  LastStreamMadeAt = GetTickCount();
}

bool StreamPlays() { return Stream && !Stream->IsLost(); }

// From a cleared buffer, on a new stream when this one cannot play. A song whose end was told
// lost its last frames with the old buffer: its end is told again to this one when asked.
void StartStream(bool tellEndAgain) {
  if (StreamPlays()) Stream->Start();
  if (!StreamPlays()) {
    ReplaceStream();
    if (Stream) Stream->Start();
  }
  const TSongHandle ended = EndingSong.exchange(0);
  if (tellEndAgain) PostSongEnd(ended, PlayThrough);
}

// While a song plays, a stream that was lost is followed by a new one, the song going on from
// where the library is.
void CALLBACK OnStreamWatch(HWND, UINT, UINT_PTR, DWORD) {
  if (!PlayingFlag || StreamPlays() || GetTickCount() - LastStreamMadeAt < StreamRetryMs) return;
  StartStream(true);
}

// Told twice: by the library once it has rendered past the song's end, and again by the worker
// once the song's last frames have played.
void OnSongEnded(TSongHandle song, uint32_t playThrough) {
  // Left, or stopped and rewound.
  if (song == 0 || song != CurrentSongHandle || playThrough != PlayThrough || IsStopped()) return;
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

// Both stops: the flags first, so that a refill from then on writes silence, then the library,
// then the stream, directly or through the worker's handshake. False when already stopped.
bool StopPlayThrough(bool byHandshake) {
  if (IsStopped()) return false;
  EndingSong = 0;
  SeekWhilePaused = false;
  SetTransportState(TTransportState::Stopped);
  Player->SetState(OrvelStateStop);
  if (Stream && byHandshake) Stream->StopAndWait(StopTimeoutMs);
  if (Stream && !byHandshake) Stream->Stop();
  ++PlayThrough;
  return true;
}

// A step (forward, back, or a song's end) goes on in its direction past every song that does not
// load, trying each song of the list once. False, with nothing loaded, when none does.
bool OpenLoadableSong(const char* (TPlayList::*step)()) {
  const int32_t songs = PlayList ? PlayList->SongCount() : 0;
  for (int32_t tried = 0; tried < songs; ++tried) {
    if (OpenSong((PlayList->*step)())) return true;
  }
  CurrentSongHandle = 0;
  return false;
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
  LastStreamMadeAt = GetTickCount();
  SetTimer(window, StreamWatchTimerId, StreamWatchMs, OnStreamWatch);
  return Stream && rc == 0;
}

void ShutdownPlayer() {
  KillTimer(PlayerWindow, StreamWatchTimerId);
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
  PendingSongFrame = 0;
  SeekWhilePaused = false;
  if (!name) return false;
  const TSongHandle handle = Player->LoadSongResampled(name, PlayList ? PlayList->CurrentResampler() : 0);
  CurrentSongHandle = handle;
  SongLevel = PlayList ? PlayList->CurrentLevel() : TSongLevel();
  if (handle != 0) {
    Player->SelectSong(handle);
    Player->SetPosition(0);
  }
  return handle != 0;
}

// A lost stream is replaced before the flags are set, so that its worker renders nothing more.
void PlaySong() {
  const bool resuming = PausedFlag;
  const bool lost = !StreamPlays();
  if (lost) ReplaceStream();  // started below
  SetTransportState(TTransportState::Playing);
  Player->SetState(OrvelStatePlay);
  if (resuming && !lost) {
    if (SeekWhilePaused) AskRewriteFrom(PendingSongFrame);  // the resume waits for it
    SeekWhilePaused = false;
    Stream->Resume();
    if (!StreamPlays()) {
      StartStream(true);
    } else if (EndingSong) {
      Stream->RequestStop();
    }
  } else {
    if (SeekWhilePaused) Player->SetPosition(int(PendingSongFrame));  // the new stream starts cleared
    SeekWhilePaused = false;
    StartStream(resuming);
  }
  PostMessageA(PlayerWindow, WM_SONG_STARTED, 0, 0);
}

// The buffers stop first and the flags after, so that a refill under way still renders music: it
// is heard on resume, with the rest of what was rendered. A seek the worker has not come to yet
// would render nothing once the flags are down: it becomes the paused place instead.
void PauseSong() {
  if (Stream) Stream->Pause();
  PendingSongFrame = GetHeardSound(nullptr, 0).songFrame;
  const uint64_t seek = SeekRequest.exchange(0);
  if (seek && uint32_t(seek >> 32) == PlayThrough) {
    PendingSongFrame = uint32_t(seek);
    SeekWhilePaused = true;
  }
  SetTransportState(TTransportState::Paused);
  Player->SetState(OrvelStateStop);
}

void StopSong() {
  if (StopPlayThrough(false)) Player->SetPosition(0);
  PendingSongFrame = 0;
}

// No rewind: the song is freed next, and the handshake leaves no refill under way.
void StopSongAndWait() { StopPlayThrough(true); }

// While paused the buffers are stopped already, and nobody would answer the handshake.
void NextSong() {
  if (!PausedFlag || PlayingFlag) StopSongAndWait();
  SetTransportState(TTransportState::Stopped);
  Player->FreeSong(CurrentSongHandle);
  if (OpenLoadableSong(&TPlayList::StepForward)) PlaySong();
}

void PreviousSong() {
  StopSong();
  Player->FreeSong(CurrentSongHandle);
  if (OpenLoadableSong(&TPlayList::StepBack)) PlaySong();
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
    OnSongEnded(EndedSong(songEnded), EndedPlayThrough(songEnded));
}

void OnPlayerEvent(int event, int param) {
  if (event == OrvelEventSongEnded) PostSongEnd(TSongHandle(param), PlayThrough);
}

THeardSound GetHeardSound(int16_t* out, uint32_t frames) {
  if (out) std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
  THeardSound heard;
  THeardCursor cursor;
  if (IsStopped() || !Stream) return heard;
  heard.clockShown = true;
  heard.songFrame = PendingSongFrame;
  if (SeekWhilePaused) return heard;
  if (!Stream->ReadHeard(out, frames, cursor)) return heard;
  heard.settled = cursor.at.settled;
  const THalfTag& tag = cursor.at.tag;
  if (!tag.song) return heard;
  // Past a song's last frame the next one is due, from its start.
  heard.songFrame = 0;
  if (cursor.at.frameInHalf >= tag.songFrames) return heard;
  heard.songFrame = tag.songFrame + cursor.at.frameInHalf;
  heard.audible = cursor.running;
  return heard;
}

int32_t CurrentSongFrames() { return CurrentSongHandle ? Player->GetSongLength(CurrentSongHandle) : -1; }

void OnStreamRender(void* half, uint32_t bytes) { RenderSamples(half, bytes); }

void RenderSamples(void* half, uint32_t bytes) {
  const uint32_t frames = bytes >> 2;
  const bool playing = PlayingFlag != 0;
  const int32_t before = playing ? Player->GetPosition() : -1;
  const TSongLevel level = SongLevel;
  RenderPcm(*Player, PlayingFlag, static_cast<int16_t*>(half), frames, Dither,
            MixFor(level.gainDb, level.separation, ListenerWidth));
  RenderedTag = THalfTag();
  if (before < 0) return;
  const int32_t after = Player->GetPosition();
  RenderedTag.song = true;
  RenderedTag.songFrame = uint32_t(before);
  RenderedTag.songFrames = after > before ? std::min(uint32_t(after - before), frames) : 0;
}

void SeekBy(int32_t seconds) {
  uint32_t from = GetHeardSound(nullptr, 0).songFrame;
  const DWORD since = GetTickCount() - LastSeekAt;
  if (PlayingFlag && since < SeekFollowMs) from = LastSeekFrame + since * 441 / 10;
  SeekTo(int64_t(from) + int64_t(seconds) * 44100);
}

void SeekTo(int64_t frame) {
  if (IsStopped() || EndingSong || !CurrentSongHandle || !StreamPlays() || Stream->IsStopRequested()) return;
  // The cleared buffer of a change of song: the song starts where it was going to.
  if (PlayingFlag && !GetHeardSound(nullptr, 0).audible) return;
  const uint32_t target = uint32_t(std::min<int64_t>(std::max<int64_t>(frame, 0), INT32_MAX));
  LastSeekFrame = target;
  LastSeekAt = GetTickCount();
  if (PlayingFlag) return AskRewriteFrom(target);
  PendingSongFrame = target;
  SeekWhilePaused = true;
}

void ApplyListenerVolume() {
  if (Stream) Stream->SetVolume(BufferVolume(ListenerVolume));
}
