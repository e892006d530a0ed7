// OrvelPlayer.dll: renders songs (tracker modules, WAV, Ogg Vorbis) to interleaved float stereo.
// Self-contained: needs nothing but the standard headers.
#pragma once
#include <stdint.h>

#if defined(_WIN32) && defined(ORVEL_BUILD_DLL)
#define ORVEL_API __declspec(dllexport)
#elif defined(_WIN32)
#define ORVEL_API __declspec(dllimport)
#else
#define ORVEL_API
#endif

// Opaque song handle; 0 means "no song".
typedef uint32_t TSongHandle;

// Event codes passed to IPlayerListener::Notify.
enum { OrvelEventSongEnded = 0 };

// Player state values for IOrvelPlayer::SetState.
enum { OrvelStatePlay = 1, OrvelStateStop = 4 };

// Interpolation filter lengths for TPlayerSettings::interpolation.
enum { OrvelFilterNone = 1, OrvelFilterLinear = 2, OrvelFilterCubic = 4, OrvelFilterSinc = 8 };

// How LoadSongResampled plays a tracker module, as its author chose: libopenmpt's Amiga emulation
// (Amiga modules only; "auto" lets libopenmpt pick the model), or an interpolation filter of
// length 1, 2, 4 or 8. OrvelResamplerDefault, like any code not listed, plays as LoadSong does.
enum {
  OrvelResamplerDefault = 0,
  OrvelResamplerAmiga,
  OrvelResamplerA500,
  OrvelResamplerA1200,
  OrvelResamplerUnfiltered,
  OrvelResamplerNone,
  OrvelResamplerLinear,
  OrvelResamplerCubic,
  OrvelResamplerSinc
};

enum { OrvelVersion = 0x00010001 };  // major << 16 | minor

struct TPlayerSettings {
  int32_t interpolation;  // module interpolation filter length: 1, 2, 4 or 8
  int32_t reserved1;      // must be 0
  int32_t sampleRate;     // output rate in Hz
  int32_t reserved2;      // must be 0
};

class IPlayerListener {
 public:
  virtual ~IPlayerListener() {}
  // event OrvelEventSongEnded: param is the handle of the song that ran out. Told once, by the
  // first Render that has nothing of the song left to give, so that every frame of the song has
  // been handed out before it. Called from inside Render, on its thread; the player may be called
  // back from here.
  virtual void Notify(int event, int param) = 0;
};

// The one player instance. Render may run on another thread than every other call.
class IOrvelPlayer {
 public:
  // OrvelVersion of the library.
  virtual int GetVersion() = 0;
  // 0 when ready; non-zero for settings the library cannot honour. Frees every loaded song.
  virtual int Init(const TPlayerSettings* settings) = 0;
  // Frees every song and forgets the listener.
  virtual void Shutdown() = 0;
  // Opens the file by name (relative to the current directory); 0 when it cannot be played.
  virtual TSongHandle LoadSong(const char* fileName) = 0;
  // Length of the song in frames at the output rate; -1 for an unknown handle.
  virtual int32_t GetSongLength(TSongHandle song) = 0;
  // The remaining operations return 0 when done, non-zero when there was nothing to do.
  virtual int FreeSong(TSongHandle song) = 0;
  virtual int SelectSong(TSongHandle song) = 0;
  // OrvelStatePlay or OrvelStateStop; stopping keeps the position.
  virtual int SetState(int state) = 0;
  // Moves the selected song to a frame at the output rate. A tracker module lands on the start of
  // a row, with the notes that sound across it; WAV and Ogg Vorbis land on the very frame. At or
  // past the end, the song ends as if it had played out. 0 costs nothing until the song plays
  // again, and nothing at all for a song already at its start. Non-zero for a negative frame or
  // when nothing is selected.
  virtual int SetPosition(int position) = 0;
  // Frames at the output rate rendered so far from the selected song, or where a seek landed;
  // -1 when none is selected.
  virtual int32_t GetPosition() = 0;
  // Writes frames * 2 interleaved floats (left, right), silence when stopped or nothing is selected.
  virtual int Render(float* buffer, int frames) = 0;
  virtual int SetListener(IPlayerListener* listener) = 0;
  // LoadSong, with an OrvelResampler code for a tracker module; other songs ignore it. The song
  // keeps it when rewound. Not pure, so that every player written before it still stands.
  virtual TSongHandle LoadSongResampled(const char* fileName, int /*resampler*/) { return LoadSong(fileName); }

  static ORVEL_API IOrvelPlayer* GetOrvelPlayer();

 protected:
  ~IOrvelPlayer() {}
};
