// The state that the window thread and the worker share, and the order in which they act on it.
//
// | field          | set by                          | cleared by                     | read by             |
// |----------------|---------------------------------|--------------------------------|---------------------|
// | running        | Play (window: Start, Resume)    | StopBuffers only, on either    | both                |
// |                |                                 | thread (see below)             |                     |
// | stopRequested  | RequestStop (window)            | StopBuffers; Start             | worker at each      |
// |                |                                 |                                | wake-up; StopAndWait|
// | paused         | Pause (window)                  | Resume, Start (window)         | worker              |
// | dueHalves      | worker: a half's notification   | taken by Resume, or by the     | both                |
// |                | came while paused               | worker when a resume crossed   |                     |
// | serving        | worker, for a whole wake-up     | worker, at the wake-up's end   | window: its waits   |
// | rewriteAsked   | RequestRewrite (window)         | worker, as it takes the request| Resume's wait       |
// | lastNotifiedAt | Play (window); every wake-up    | -                              | IsLost (both)       |
// |                | (worker)                        |                                |                     |
// | lost           | any failed call, a time-out, a  | never: only a new stream plays | IsLost (both),      |
// |                | worker that ended (any thread)  |                                | StopAndWait         |
// | heard          | worker: each refill; window:    | -                              | window: ReadHeard   |
// |                | Start clears it                 |                                |                     |
// | renderProc,    | the owner, after construction   | destruction                    | worker, per wake-up |
// | stoppedProc    |                                 |                                |                     |
//
// running: the buffers were told to play and not told to stop. StopBuffers is the one place that
// clears it: on the window thread from Stop, Pause and a StopAndWait that gave up on the worker;
// on the worker when it answers a stop request.
// stopRequested: the worker is to stop the buffers at its next wake-up, after the half just heard.
// serving: a wake-up is under way; one that finds the buffers stopped writes nothing into them,
// so a stop that finds it clear has no refill to wait for.
// The events, the buffers and bufferBytes are made before the worker starts and never change
// while it runs. Every flag is a std::atomic<uint8_t>, 0 or 1, like the transport's.
//
// Transport control (player/Transport.cpp) adds four of its own, all written on the window thread:
// | field         | set and cleared by                                | read by                     |
// |---------------|---------------------------------------------------|-----------------------------|
// | PlayingFlag,  | PlaySong, PauseSong and the stops, one going down | worker: a refill renders    |
// | PausedFlag    | before the other goes up (SetTransportState)      | only while PlayingFlag is   |
// |               |                                                   | up; the play/pause button   |
// | PlayThrough   | +1 at every stop                                  | any thread telling an end   |
// | EndingSong    | set at the library's end; cleared by a stop or a  | worker: OnStreamStopped     |
// |               | start from a cleared buffer                       |                             |
//
// A stop (forward: StopSongAndWait, the handshake):
//   window  flags down (a refill from now on writes silence), library stopped, RequestStop, and
//           polls while the request stands and the buffers run (at most StopTimeoutMs);
//   worker  at its next wake-up: StopBuffers (running and the request go down), no refill;
//   window  sees the request gone, waits for serving to clear: nothing writes into the buffer.
//   A direct stop (stop, back): the window calls StopBuffers itself, then waits for serving.
// A pause:
//   window  Pause: paused up, StopBuffers where the cursor stands, waits for a refill under way
//           (it renders music: the playing flag is still up, and it is heard on resume); then
//           the flags and the library;
//   worker  a notification that comes meanwhile marks its half in dueHalves, and refills nothing;
//   window  Resume: paused down, the due halves' events set again, Play from where it stood;
//   worker  refills the due halves before they are heard.
// A seek (the window has set where; the worker goes there as it takes the rewrite):
//   window  RequestRewrite: rewriteAsked up, the rewrite event set;
//   worker  at its next wake-up for it, unless stopped or asked to stop: the seek proc, then one
//           render from the write cursor to the start of the half the cursor is in, one lap on,
//           written over the buffer past where the cursor has got to meanwhile, faded across;
//           the record takes it. A notification due meanwhile is served after it, from where the
//           rewrite's render ended. While paused the rewrite starts at the cursor, takes the due
//           halves with it, and Resume waits for it.
// A song's end, and what happens after its last frame is heard:
//   worker  refill at T: the library renders the song's last frames into half k;
//   worker  refill at T+1 s, as the cursor enters half k: the library has nothing left and tells
//           the end; OnPlayerEvent posts it (the song and its play-through);
//   window  OnSongEnded, first time: EndingSong = the song, RequestStop. Presses still act on it;
//   worker  wake-up at T+2 s, half k heard: StopBuffers, no refill, then stoppedProc
//           (OnStreamStopped), which posts the end again;
//   window  OnSongEnded, second time: NextSong, which opens the next song that loads and starts
//           the stream from a cleared buffer (two seconds of silence, then the song).
#include "audio/SoundStream.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace {

enum { HalfwayEvent, EndEvent, RewriteEvent, QuitEvent, StreamEventCount };

// The program changes the volume alone. Pan and frequency are asked for all the same:
// on a software buffer they cost nothing, and this is the buffer every device has played the
// disk through, so that none is handed a kind of buffer it was never tried with.
const DWORD SecondaryFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME |
                             DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_LOCSOFTWARE |
                             DSBCAPS_GETCURRENTPOSITION2;
const DWORD ThreadQuitTimeoutMs = 3000;
// A notification is due every second while the buffers run.
const DWORD NotificationsLostMs = 2500;
// A stop on the window thread waits at most this long for a refill under way; a worker that takes
// longer is stuck, and its stream lost.
const DWORD RefillFinishMs = 500;
// A buffer told to play whose cursor has not moved by then never will.
const DWORD CursorStartMs = 500;
// A rewrite is written this far past the write cursor, for the lock and the copy; what its render
// took meanwhile is skipped, not waited for.
const uint32_t WriteLeadFrames = 44100 * 20 / 1000;
// The old sound fades out and the new in over this many frames: no click, and heard at once.
const uint32_t CrossFadeFrames = 441;

// The window thread's waits on the worker, both alike: a poll that hands the rest of its time
// slice to any thread ready to run (on a busy machine, the worker it waits for) and otherwise
// comes straight back, so the answer is seen at once. False when timeoutMs passed first.
template <class TCondition>
bool PollWhile(TCondition condition, DWORD timeoutMs) {
  const DWORD begin = GetTickCount();
  while (condition()) {
    if (GetTickCount() - begin >= timeoutMs) return false;
    Sleep(0);
  }
  return true;
}

}  // namespace

// Whatever a failed CreateBuffers did not make stays null.
struct TSoundStream::TWorkerState {
  TOwnedHandle events[StreamEventCount];
  TComPtr<IDirectSoundBuffer> primaryBuffer;
  TComPtr<IDirectSoundBuffer> secondaryBuffer;
  uint32_t bufferBytes = 0;
  std::atomic<uint8_t> running{0};
  std::atomic<uint8_t> stopRequested{0};
  std::atomic<uint8_t> paused{0};
  std::atomic<uint8_t> dueHalves{0};  // bit k: half k
  std::atomic<uint8_t> serving{0};
  std::atomic<DWORD> lastNotifiedAt{0};
  std::atomic<uint8_t> lost{0};
  std::atomic<TRenderProc> renderProc{nullptr};
  std::atomic<TStoppedProc> stoppedProc{nullptr};
  // Made with the buffers, before the worker starts.
  std::unique_ptr<THeardRecord> heard;
  std::atomic<TTagProc> tagProc{nullptr};
  std::atomic<TSeekProc> seekProc{nullptr};
  std::atomic<uint8_t> rewriteAsked{0};

  void Start() {
    if (running) return;
    stopRequested = 0;
    paused = 0;
    dueHalves = 0;
    if (secondaryBuffer) {
      ClearBuffer();
      MarkLostOnFailure(secondaryBuffer->SetCurrentPosition(0));
    }
    Play();
  }

  void Play() {
    lastNotifiedAt = GetTickCount();
    if (primaryBuffer) MarkLostOnFailure(primaryBuffer->Play(0, 0, DSBPLAY_LOOPING));
    if (secondaryBuffer) MarkLostOnFailure(secondaryBuffer->Play(0, 0, DSBPLAY_LOOPING));
    running = 1;
    if (secondaryBuffer && !lost) WaitForCursor();
  }

  // A device that went away while nothing played need not fail a call: its cursor stands still.
  void WaitForCursor() {
    DWORD first = 0, now = 0;
    MarkLostOnFailure(secondaryBuffer->GetCurrentPosition(&first, nullptr));
    const DWORD begin = GetTickCount();
    while (!lost) {
      Sleep(5);
      MarkLostOnFailure(secondaryBuffer->GetCurrentPosition(&now, nullptr));
      if (now != first) return;
      if (GetTickCount() - begin >= CursorStartMs) lost = 1;
    }
  }

  // The window thread's direct stop: afterwards nothing writes into the buffer.
  void Stop() {
    if (!running) return;
    StopBuffers();
    WaitForRefill();
  }

  // What a refill under way renders is heard on resume, so it must finish before the song stops.
  void Pause() {
    if (!running) return;
    paused = 1;
    Stop();
  }

  void WaitForRefill() {
    if (!PollWhile([this] { return serving != 0; }, RefillFinishMs)) lost = 1;
  }

  void Resume() {
    if (running) return;
    if (!paused) return Start();
    if (!PollWhile([this] { return rewriteAsked || serving; }, RefillFinishMs)) lost = 1;
    paused = 0;
    const uint8_t due = dueHalves.exchange(0);
    for (int half = 0; half < 2; ++half) {
      if (due & (1u << half)) SetEvent(events[half == 0 ? HalfwayEvent : EndEvent].Get());
    }
    Play();
  }

  // The worker's one wake-up per notification: half k has just been heard.
  void OnNotified(int half) {
    serving = 1;
    lastNotifiedAt = GetTickCount();
    const bool stopAnswered = stopRequested && running;
    if (stopAnswered) StopBuffers();
    if (running) {
      RefillHalf(half);
    } else if (paused) {
      dueHalves |= uint8_t(1u << half);
      // A resume in between may have missed this half: whichever of the two takes it refills it.
      if (!paused) {
        const uint8_t due = dueHalves.exchange(0);
        for (int k = 0; k < 2; ++k) {
          if (due & (1u << k)) RefillHalf(k);
        }
      }
    }
    const TStoppedProc stopped = stoppedProc;
    if (stopAnswered && stopped) stopped();
    serving = 0;
  }

  void OnRewriteAsked() {
    serving = 1;
    rewriteAsked = 0;
    const TSeekProc seek = seekProc;
    if ((running || paused) && !stopRequested && secondaryBuffer && seek && seek()) RewriteAhead();
    serving = 0;
  }

  // Frames are counted from the start of the half the cursor is in, up to two halves on.
  void RewriteAhead() {
    const uint32_t total = bufferBytes / 4, half = total / 2;
    DWORD play = 0, write = 0;
    MarkLostOnFailure(secondaryBuffer->GetCurrentPosition(&play, &write));
    const uint32_t halfStart = play / 4 >= half ? half : 0;
    const bool live = running;
    const uint32_t begin = live ? Ahead(halfStart, write / 4) + WriteLeadFrames : play / 4 - halfStart;
    if (lost || begin >= total) return;
    std::unique_ptr<int16_t[]> sound(new (std::nothrow) int16_t[size_t(total - begin) * 2]());
    if (!sound) return;
    const TRenderProc render = renderProc;
    try {
      if (render) render(sound.get(), (total - begin) * 4);
    } catch (...) {
    }
    const TTagProc tagOf = tagProc;
    THalfTag tag = tagOf ? tagOf() : THalfTag();
    // What the cursor passed while the render ran is skipped. It is read with the buffer locked:
    // a lock that waits for the device's mixer waits before the place is chosen, not between the
    // choice and the write, where the mixer would take the old sound past it.
    const uint32_t skipped = WriteAcross((halfStart + begin) % total, sound.get(), total - begin, live, [&] {
      if (!live) return 0u;
      MarkLostOnFailure(secondaryBuffer->GetCurrentPosition(&play, &write));
      return std::max(begin, Ahead(halfStart, write / 4) + WriteLeadFrames) - begin;
    });
    if (lost || skipped >= total - begin) return;
    const uint32_t from = begin + skipped, frames = total - from;
    tag.songFrame += skipped;
    tag.songFrames = tag.songFrames > skipped ? tag.songFrames - skipped : 0;
    if (heard) heard->Rewrite((halfStart + from) % total, sound.get() + size_t(skipped) * 2, frames, tag);
    if (!live) dueHalves = 0;  // the rewrite holds them
  }

  // Where `frame` of the buffer lies from halfStart on, within the two halves from there.
  uint32_t Ahead(uint32_t halfStart, uint32_t frame) const {
    const uint32_t total = bufferBytes / 4;
    return (frame + total - halfStart) % total;
  }

  // Over the buffer from frame `at`, wrapping at its end, the sound's frames from the one that
  // `firstOnceLocked` names, asked once the buffer is locked; those frames before it are left as
  // they were. The first frames written cross-fade with what the buffer held, or, while paused,
  // fade in after the silence of the pause. Returns the first frame written (`frames` for none).
  template <class TFirst>
  uint32_t WriteAcross(uint32_t at, const int16_t* sound, uint32_t frames, bool fromOld, TFirst firstOnceLocked) {
    void* parts[2] = {};
    DWORD bytes[2] = {};
    const HRESULT locked = secondaryBuffer->Lock(at * 4, frames * 4, &parts[0], &bytes[0], &parts[1], &bytes[1], 0);
    MarkLostOnFailure(locked);
    if (FAILED(locked)) return frames;
    uint32_t first = std::min<uint32_t>(firstOnceLocked(), frames);
    if (lost) first = frames;
    uint32_t done = 0;
    for (int p = 0; p < 2; ++p) {
      int16_t* out = static_cast<int16_t*>(parts[p]);
      for (uint32_t f = 0; out && f < bytes[p] / 4 && done < frames; ++f, ++done) {
        if (done < first) continue;
        const uint32_t into = done - first;
        const double in = into < CrossFadeFrames ? (into + 1.0) / (CrossFadeFrames + 1.0) : 1.0;
        for (int c = 0; c < 2; ++c)
          out[f * 2 + c] = int16_t(sound[size_t(done) * 2 + c] * in + (fromOld ? out[f * 2 + c] * (1.0 - in) : 0.0));
      }
    }
    MarkLostOnFailure(secondaryBuffer->Unlock(parts[0], bytes[0], parts[1], bytes[1]));
    return first;
  }

  void MarkLostOnFailure(HRESULT hr) {
    if (FAILED(hr)) lost = 1;
  }

  // Kept once seen: a stream stopped since is no less lost.
  bool IsLost() {
    if (running && GetTickCount() - lastNotifiedAt > NotificationsLostMs) lost = 1;
    return lost || !secondaryBuffer;
  }

  // Either thread. When the worker answers a request just as the window thread gives up on it,
  // both stop the buffers; that is harmless.
  void StopBuffers() {
    if (!running) return;
    IsLost();  // notifications that stopped coming are seen only while running
    if (secondaryBuffer) MarkLostOnFailure(secondaryBuffer->Stop());
    if (primaryBuffer) MarkLostOnFailure(primaryBuffer->Stop());
    running = 0;
    stopRequested = 0;
  }

  // The whole buffer, so that a restart plays silence until the first refill is heard.
  void ClearBuffer() {
    void* audio = nullptr;
    DWORD bytes = 0;
    const HRESULT locked = secondaryBuffer->Lock(0, 0, &audio, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
    MarkLostOnFailure(locked);
    if (FAILED(locked)) return;
    std::memset(audio, 0, bytes);
    MarkLostOnFailure(secondaryBuffer->Unlock(audio, bytes, nullptr, 0));
    if (heard) heard->Clear();
  }

  // The one place a half is refilled. A half whose lock fails keeps what it holds; the callback is
  // not called. Whatever the callback throws stays here: the worker goes on waiting, and the half
  // plays what was written of it.
  void RefillHalf(int half) {
    const uint32_t halfBytes = bufferBytes >> 1;
    void* audio = nullptr;
    DWORD lockedBytes = 0;
    const HRESULT locked =
        secondaryBuffer->Lock(half * halfBytes, halfBytes, &audio, &lockedBytes, nullptr, nullptr, 0);
    MarkLostOnFailure(locked);
    if (FAILED(locked) || !audio) return;
    std::memset(audio, 0, halfBytes);
    const TRenderProc render = renderProc;
    try {
      if (render) render(audio, halfBytes);
    } catch (...) {
    }
    const TTagProc tag = tagProc;
    if (heard) heard->Remember(half, static_cast<const int16_t*>(audio), tag ? tag() : THalfTag());
    MarkLostOnFailure(secondaryBuffer->Unlock(audio, halfBytes, nullptr, 0));
  }
};

TSoundStream::TSoundStream(HWND window, bool quiet) : shared(new TWorkerState), quiet(quiet) {
  if (DirectSoundCreate(nullptr, dsound.Receive(), nullptr) == DS_OK &&
      FAILED(dsound->SetCooperativeLevel(window, DSSCL_PRIORITY))) {
    shared->lost = 1;
  }
  if (!dsound) {
    TellUser("Could not create DirectSound object", "Fatal error");
    throw "no sound device";
  }
  for (TOwnedHandle& event : shared->events) {
    event.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  }
}

HRESULT TSoundStream::CreateBuffers(uint32_t ms) {
  TWorkerState& s = *shared;
  DSBUFFERDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME;
  desc.dwBufferBytes = 0;
  desc.lpwfxFormat = nullptr;
  HRESULT hr = dsound->CreateSoundBuffer(&desc, s.primaryBuffer.Receive(), nullptr);
  if (FAILED(hr)) {
    s.primaryBuffer.Forget();
    return Failed(hr, "Primary buffer creation failed");
  }

  WAVEFORMATEX format;
  std::memset(&format, 0, sizeof format);
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = 44100;
  format.nAvgBytesPerSec = 176400;
  format.nBlockAlign = 4;
  format.wBitsPerSample = 16;
  hr = s.primaryBuffer->SetFormat(&format);
  if (FAILED(hr)) return Failed(hr, "Format setting failed");

  desc.lpwfxFormat = &format;
  desc.dwFlags = SecondaryFlags;
  s.bufferBytes = uint32_t(ms * uint32_t(format.nAvgBytesPerSec)) / 1000;
  desc.dwBufferBytes = s.bufferBytes;
  s.heard.reset(new THeardRecord(s.bufferBytes / 2 / format.nBlockAlign));
  hr = dsound->CreateSoundBuffer(&desc, s.secondaryBuffer.Receive(), nullptr);
  if (FAILED(hr)) {
    s.secondaryBuffer.Forget();
    return Failed(hr, "Secondary buffer creation failed");
  }

  thread.Reset(CreateThread(nullptr, 0, ThreadProc, &s, 0, nullptr));
  if (!thread) s.lost = 1;

  hr = s.secondaryBuffer->QueryInterface(IID_IDirectSoundNotify,
                                         reinterpret_cast<void**>(notify.Receive()));
  if (FAILED(hr)) {
    notify.Forget();
    return Failed(hr, nullptr);
  }
  // Each event comes as a half has been played: the half-way offset is the second half's first
  // byte; the end has no such byte (an offset of bufferBytes lies past the buffer, which the device
  // refuses), so its event stands inside the buffer's last frame, at bufferBytes - 3.
  DSBPOSITIONNOTIFY positions[2];
  positions[0].dwOffset = s.bufferBytes >> 1;
  positions[0].hEventNotify = s.events[HalfwayEvent].Get();
  positions[1].dwOffset = s.bufferBytes - 3;
  positions[1].hEventNotify = s.events[EndEvent].Get();
  hr = notify->SetNotificationPositions(2, positions);
  return FAILED(hr) ? Failed(hr, nullptr) : hr;
}

// Without its buffers or notifications the stream never refills: it counts as lost.
HRESULT TSoundStream::Failed(HRESULT hr, const char* text) {
  shared->lost = 1;
  if (text) TellUser(text, "Oops");
  return hr;
}

// A stream made again after an outage is quiet: the user was told once already.
void TSoundStream::TellUser(const char* text, const char* caption) const {
  if (!quiet) MessageBoxA(nullptr, text, caption, MB_ICONERROR);
}

// Touches only the shared part: the stream object may be gone by the time a stuck callback returns.
// The destructor stopped the buffers before it sets the quit event.
DWORD WINAPI TSoundStream::ThreadProc(LPVOID param) {
  TWorkerState& s = *static_cast<TWorkerState*>(param);
  const HANDLE events[StreamEventCount] = {s.events[HalfwayEvent].Get(), s.events[EndEvent].Get(),
                                           s.events[RewriteEvent].Get(), s.events[QuitEvent].Get()};
  for (;;) {
    const DWORD rc = WaitForMultipleObjects(StreamEventCount, events, FALSE, INFINITE);
    if (rc == WAIT_OBJECT_0 + HalfwayEvent) {
      s.OnNotified(0);
    } else if (rc == WAIT_OBJECT_0 + EndEvent) {
      s.OnNotified(1);
    } else if (rc == WAIT_OBJECT_0 + RewriteEvent) {
      s.OnRewriteAsked();
    } else if (rc == WAIT_OBJECT_0 + QuitEvent || rc == WAIT_FAILED) {
      break;  // a wait that fails (closed handles) would fail again at once, for ever
    }
  }
  // No one refills any more.
  s.lost = 1;
  return 0;
}

void TSoundStream::Start() { shared->Start(); }

void TSoundStream::Stop() { shared->Stop(); }

void TSoundStream::Pause() { shared->Pause(); }

void TSoundStream::Resume() { shared->Resume(); }

bool TSoundStream::IsLost() const { return shared->IsLost(); }

void TSoundStream::StopAndWait(uint32_t timeoutMs) {
  TWorkerState& s = *shared;
  // A lost stream may have no worker left to answer.
  if (!s.running || IsLost()) return s.Stop();
  RequestStop();
  // A worker that stopped the buffers itself since they were seen running answers no request.
  if (!PollWhile([&s] { return s.stopRequested && s.running && !s.lost; }, timeoutMs)) {
    s.lost = 1;  // the notifications stopped coming: the worker is not waited on any more
    s.StopBuffers();
    return;
  }
  s.Stop();
  s.WaitForRefill();
}

void TSoundStream::RequestStop() { shared->stopRequested = 1; }

bool TSoundStream::IsStopRequested() const { return shared->stopRequested != 0; }

void TSoundStream::SetRenderProc(TRenderProc proc) { shared->renderProc = proc; }

void TSoundStream::SetStoppedProc(TStoppedProc proc) { shared->stoppedProc = proc; }

void TSoundStream::SetTagProc(TTagProc proc) { shared->tagProc = proc; }

void TSoundStream::SetSeekProc(TSeekProc proc) { shared->seekProc = proc; }

void TSoundStream::RequestRewrite() {
  TWorkerState& s = *shared;
  s.rewriteAsked = 1;
  if (s.events[RewriteEvent]) SetEvent(s.events[RewriteEvent].Get());
}

bool TSoundStream::ReadHeard(int16_t* out, uint32_t frames, THeardCursor& cursor) const {
  const TWorkerState& s = *shared;
  DWORD play = 0;
  if (!s.secondaryBuffer || !s.heard || FAILED(s.secondaryBuffer->GetCurrentPosition(&play, nullptr))) return false;
  cursor.running = s.running && !s.paused;
  cursor.at = s.heard->Read(play / 4, out, frames);
  return true;
}

TSoundStream::~TSoundStream() {
  if (!dsound) return;
  TWorkerState& s = *shared;
  // A worker that outlives the stream must not render the owner's song any more.
  s.renderProc = nullptr;
  s.stoppedProc = nullptr;
  s.tagProc = nullptr;
  Stop();
  bool workerEnded = true;
  if (thread) {
    SetEvent(s.events[QuitEvent].Get());
    workerEnded = WaitForSingleObject(thread.Get(), ThreadQuitTimeoutMs) == WAIT_OBJECT_0;
    thread.Reset();  // the thread itself may go on; only the handle goes
  }
  if (!workerEnded) {
    // Releasing the device would release its buffers under the worker too: the worker's state,
    // the buffers in it, the notify interface and the device stay to the process's end.
    shared.release();
    notify.Forget();
    dsound.Forget();
    return;
  }
  notify.Reset();
  s.secondaryBuffer.Reset();
  if (s.primaryBuffer) s.MarkLostOnFailure(s.primaryBuffer->Stop());
  s.primaryBuffer.Reset();
  dsound.Reset();
  // The events go with the worker's state, last.
}

void TSoundStream::SetVolume(int32_t hundredthsOfDb) {
  if (shared->secondaryBuffer) shared->secondaryBuffer->SetVolume(hundredthsOfDb);
}
