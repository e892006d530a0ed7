// Transport control: the buttons' commands become library and stream calls. Everything here runs
// on the window thread except OnStreamRender, which the stream's worker calls for each refill.
#pragma once
#include <windows.h>

#include <cstdint>

#include "player/TransportFlags.h"

// True when the library is ready and the sound device exists. Sets a timer on the window (its own
// procedure, id 10002) that replaces a lost stream while a song plays.
bool StartPlayer(HWND window);
// Ends the stream and its worker, shuts the library down and deletes the playlist object.
void ShutdownPlayer();
// Loads and selects a song without playing it; false (and nothing loaded) for no name.
bool OpenSong(const char* name);
void PlaySong();
void PauseSong();
void StopSong();
void StopSongAndWait();
// Both end playing the next (or previous) song that loads; where no song of the list loads, the
// disk ends stopped.
void NextSong();
void PreviousSong();
// Acts on cmdRewind, cmdPlayPause, cmdStop and cmdForward; ignores every other code.
void PlayerCommand(int code);
// A WM_PLAYER_COMMAND as the window receives it: a press, or the end of a song (its lParam is
// laid out beside SongEndParam in Transport.cpp), which moves on only once the song's last frames
// have been heard.
void OnPlayerCommandMessage(int code, LPARAM songEnded);

// The listener's callback: the end of a song (event 0) comes back as a posted cmdForward, so that
// every change of song happens on the window thread. Called on any thread.
void OnPlayerEvent(int event, int param);
// What the listener hears at this moment, read from the stream's play cursor on the window
// thread: never what was rendered, which runs up to two seconds ahead.
struct THeardSound {
  // A song is playing or paused: the clock shows songFrame. Stopped, or with no sound device, not.
  bool clockShown = false;
  // The song's position as heard, in frames of 44,100 Hz. Where the song will start while the
  // cleared buffer plays; where the sound stopped while paused; the old song's until its last
  // frame is heard, then 0 until the new song is heard.
  uint32_t songFrame = 0;
  // The buffers run and a song's sound is at the play cursor (not the cleared buffer).
  bool audible = false;
  // False when the read met a refill being recorded: nothing was read, and the rest says nothing.
  bool settled = true;
};
// Copies the `frames` stereo frames (interleaved 16-bit) that end at the play cursor into out,
// when out is given: silence where nothing of a song was heard.
THeardSound GetHeardSound(int16_t* out, uint32_t frames);
// The current song's length in frames of 44,100 Hz; -1 when none is loaded or it is unknown.
int32_t CurrentSongFrames();
// Moves the song as heard: while playing, heard at once; while paused, where play resumes and
// what the clock shows. Nothing while stopped, nor while a change of song is under way. A frame
// at or past the song's end ends it, as if it had played out.
void SeekTo(int64_t frame);
// From the place heard, or from the last seek's target while it is still coming: a held key
// moves one target on.
void SeekBy(int32_t seconds);

// The stream's render callback, on its worker: hands the half to RenderSamples.
void OnStreamRender(void* half, uint32_t bytes);
// While a song plays, fills the zero-filled half with the library's next second, converted.
void RenderSamples(void* half, uint32_t bytes);

// The listener's volume, as ListenerVolume holds it, on the stream's buffer: heard at once.
void ApplyListenerVolume();
