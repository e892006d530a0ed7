// The sound path: a looping DirectSound buffer played as two halves. A worker thread, woken by
// position notifications at the middle and near the end, refills the half that has just played
// through the render callback, about one second before it is heard again.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdint>
#include <memory>

#include "audio/ComPtr.h"
#include "audio/HeardRecord.h"
#include "audio/OwnedHandle.h"

// Fills one zero-filled half buffer with 16-bit stereo PCM at 44,100 Hz; runs on the worker.
typedef void (*TRenderProc)(void* half, uint32_t bytes);
// Told on the worker each time it has stopped the buffers at a stop request.
typedef void (*TStoppedProc)();
// Asked on the worker right after each render: what the render put into the half.
typedef THalfTag (*TTagProc)();
// Asked on the worker before a rewrite renders: moves the song to where the rewrite is to sound
// from. False drops the rewrite.
typedef bool (*TSeekProc)();

// Where the play cursor stands, and what the half it is in holds.
struct THeardCursor {
  bool running = false;  // the buffers play: the cursor moves
  THeardRecord::TAtCursor at;
};

// One per process is the plan, but every instance keeps its own events, running flag and stop
// request, so that a stream made after one whose worker hung is not disturbed by it.
class TSoundStream {
public:
  // Throws a character string when there is no sound device, after telling the user unless the
  // stream is only being made again after an outage (quiet): then a failed buffer also goes
  // untold, and the stream counts as lost.
  explicit TSoundStream(HWND window, bool quiet = false);
  // Ends the worker, waiting at most three seconds. A worker that does not end may still be inside
  // the callback or the buffer: then the buffers, the device and the events stay to the process's
  // end, and the callbacks are no longer called.
  ~TSoundStream();
  TSoundStream(const TSoundStream&) = delete;
  TSoundStream& operator=(const TSoundStream&) = delete;

  HRESULT CreateBuffers(uint32_t ms);
  // From a cleared buffer at its start.
  void Start();
  // Stopping a stopped stream does nothing, and leaves a stop request standing. A refill under way
  // is let finish first.
  void Stop();
  // Stops the buffers where they are; a refill under way is let finish first. Resume goes on from
  // there with what was rendered and not yet heard, and refills first any half that came due
  // meanwhile.
  void Pause();
  void Resume();
  // The device stopped answering: a call to it failed, its notifications stopped coming while the
  // buffers ran, its cursor did not move at a start or resume, a stop handshake or a refill under
  // way did not end in time, or CreateBuffers failed. Only a new stream plays again.
  bool IsLost() const;
  // The window thread's stop while the worker may be refilling: the worker stops the buffers at
  // its next wake-up, and this polls for it. With the buffers not running, or the stream lost, it
  // stops directly; so it does when the worker has not answered within timeoutMs. Once it
  // returns nothing writes into the buffer, unless the stream is lost.
  void StopAndWait(uint32_t timeoutMs);
  // Asks the worker to stop the buffers at its next wake-up, after the half just heard; the
  // stopped callback follows. Nothing waits for it.
  void RequestStop();
  bool IsStopRequested() const;
  // Set by the owner right after construction; the worker reads them at every refill.
  void SetRenderProc(TRenderProc proc);
  void SetStoppedProc(TStoppedProc proc);
  void SetTagProc(TTagProc proc);
  void SetSeekProc(TSeekProc proc);
  // The window thread, after a seek: the worker replaces what lies ahead of the write cursor, up to
  // where its next refill begins, with what the seek proc and the render proc give, the old sound
  // faded out as the new fades in. While paused it rewrites from the cursor, and Resume waits for
  // it. Stopped, or asked to stop, nothing is rewritten.
  void RequestRewrite();
  // The window thread: the cursor, and the `frames` frames heard up to it into out (silence for
  // the cleared buffer). False without buffers or when the cursor cannot be read.
  bool ReadHeard(int16_t* out, uint32_t frames, THeardCursor& cursor) const;

private:
  // Everything the worker reads and writes, apart from the stream object, so that it can be left
  // to a worker that never ends.
  struct TWorkerState;
  static DWORD WINAPI ThreadProc(LPVOID param);
  HRESULT Failed(HRESULT hr, const char* text);
  void TellUser(const char* text, const char* caption) const;

  TComPtr<IDirectSound> dsound;  // null when there is no device, and after destruction
  std::unique_ptr<TWorkerState> shared;
  TComPtr<IDirectSoundNotify> notify;  // null unless CreateBuffers got that far
  TOwnedHandle thread;
  bool quiet;

public:
  // The buffer's own volume, in hundredths of a dB (0 as rendered, -10000 silent): heard at once,
  // not after what the buffer holds. A buffer that refuses it plays on as it was.
  void SetVolume(int32_t hundredthsOfDb);
};
