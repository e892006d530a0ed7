#include "audio/SoundStream.h"

#include <atomic>
#include <cstring>

namespace {

void ShowFailure(bool quiet, const char* text) {
  if (!quiet) MessageBoxA(nullptr, text, "Oops", MB_ICONERROR);
}

enum { HalfwayEvent, EndEvent, QuitEvent, StreamEventCount };

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

}  // namespace

// Whatever a failed CreateBuffers did not make stays null.
struct TSoundStream::TWorkerState {
  HANDLE events[StreamEventCount] = {};
  TComPtr<IDirectSoundBuffer> primaryBuffer;
  TComPtr<IDirectSoundBuffer> secondaryBuffer;
  uint32_t bufferBytes = 0;
  std::atomic<void*> lockedPtr{nullptr};
  // Set by Start, cleared by whichever thread stops the buffers, and by the worker as it quits.
  std::atomic<uint32_t> running{0};
  // Set by the window thread; only a stop of running buffers clears it.
  std::atomic<uint8_t> stopRequested{0};
  // Cleared when the worker has ended or will never wake again.
  std::atomic<bool> workerAlive{false};
  std::atomic<TRenderProc> renderProc{nullptr};
  std::atomic<TStoppedProc> stoppedProc{nullptr};
  // Set while the buffers are stopped where they are, to go on from there.
  std::atomic<bool> paused{false};
  // Halves whose notification came while paused: refilled on resume, before they are heard.
  std::atomic<uint8_t> dueHalves{0};
  // Set for the whole of a wake-up of the worker. A wake-up that finds the buffers stopped writes
  // nothing into them, so a stop that finds it clear has no refill to wait for.
  std::atomic<bool> serving{false};
  std::atomic<DWORD> lastNotifiedAt{0};
  std::atomic<bool> lost{false};
  // Made with the buffers, before the worker starts.
  std::unique_ptr<THeardRecord> heard;
  std::atomic<TTagProc> tagProc{nullptr};

  // The buffers are let go by the stream, in its order, before this.
  ~TWorkerState() {
    for (HANDLE event : events) {
      if (event) CloseHandle(event);
    }
  }

  void Start() {
    if (running) return;
    stopRequested = 0;
    paused = false;
    dueHalves = 0;
    if (secondaryBuffer) {
      ClearBuffer();
      secondaryBuffer->SetCurrentPosition(0);
    }
    Play();
  }

  void Play() {
    lastNotifiedAt = GetTickCount();
    if (primaryBuffer) Check(primaryBuffer->Play(0, 0, DSBPLAY_LOOPING));
    if (secondaryBuffer) Check(secondaryBuffer->Play(0, 0, DSBPLAY_LOOPING));
    running = 1;
    if (secondaryBuffer && !lost) WaitForCursor();
  }

  // A device that went away while nothing played need not fail a call: its cursor stands still.
  void WaitForCursor() {
    DWORD first = 0, now = 0;
    Check(secondaryBuffer->GetCurrentPosition(&first, nullptr));
    const DWORD begin = GetTickCount();
    while (!lost) {
      Sleep(5);
      Check(secondaryBuffer->GetCurrentPosition(&now, nullptr));
      if (now != first) return;
      if (GetTickCount() - begin >= CursorStartMs) lost = true;
    }
  }

  // What a refill under way renders is heard on resume, so it must finish before the song stops.
  void Pause() {
    if (!running) return;
    paused = true;
    StopAndSettle();
  }

  // The window thread's stop: afterwards nothing writes into the buffer.
  void StopAndSettle() {
    if (!running) return;
    Stop();
    WaitForRefill();
  }

  void WaitForRefill() {
    const DWORD begin = GetTickCount();
    while (serving) {
      if (GetTickCount() - begin >= RefillFinishMs) {
        lost = true;
        return;
      }
      Sleep(1);
    }
  }

  void Resume() {
    if (running) return;
    if (!paused) return Start();
    paused = false;
    const uint8_t due = dueHalves.exchange(0);
    for (int half = 0; half < 2; ++half) {
      if (due & (1u << half)) SetEvent(events[half == 0 ? HalfwayEvent : EndEvent]);
    }
    Play();
  }

  void OnNotified(int half) {
    serving = true;
    lastNotifiedAt = GetTickCount();
    const bool stopAnswered = stopRequested && running;
    if (stopAnswered) Stop();
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
    serving = false;
  }

  void Check(HRESULT hr) {
    if (FAILED(hr)) lost = true;
  }

  // Kept once seen: a stream stopped since is no less lost.
  bool IsLost() {
    if (running && GetTickCount() - lastNotifiedAt > NotificationsLostMs) lost = true;
    return lost || !secondaryBuffer;
  }

  // When the worker answers a request just as the window thread gives up on it, both stop the
  // buffers; that is harmless.
  void Stop() {
    if (!running) return;
    IsLost();
    if (secondaryBuffer) secondaryBuffer->Stop();
    if (primaryBuffer) primaryBuffer->Stop();
    running = 0;
    stopRequested = 0;
  }

  // The whole buffer, so that a restart plays silence until the first refill is heard.
  void ClearBuffer() {
    void* audio = nullptr;
    DWORD bytes = 0;
    if (FAILED(secondaryBuffer->Lock(0, 0, &audio, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
      return;
    }
    std::memset(audio, 0, bytes);
    secondaryBuffer->Unlock(audio, bytes, nullptr, 0);
    if (heard) heard->Clear();
  }

  void* LockHalf(int half) {
    const uint32_t halfBytes = bufferBytes >> 1;
    void* audio = nullptr;
    DWORD lockedBytes = 0;
    const HRESULT hr =
        secondaryBuffer->Lock(half * halfBytes, halfBytes, &audio, &lockedBytes, nullptr, nullptr, 0);
    Check(hr);
    lockedPtr = SUCCEEDED(hr) ? audio : nullptr;
    return lockedPtr;
  }

  void RememberHalf(int half, const void* audio) {
    const TTagProc tag = tagProc;
    if (heard) heard->Remember(half, static_cast<const int16_t*>(audio), tag ? tag() : THalfTag());
  }

  void UnlockHalf() { Check(secondaryBuffer->Unlock(lockedPtr, bufferBytes >> 1, nullptr, 0)); }

  // A half whose lock fails keeps what it holds; the callback is not called. Whatever the callback
  // throws stays here: the worker goes on waiting, and the half plays what was written of it.
  void RefillHalf(int half) {
    const uint32_t halfBytes = bufferBytes >> 1;
    void* audio = LockHalf(half);
    if (!audio) return;
    std::memset(audio, 0, halfBytes);
    const TRenderProc render = renderProc;
    try {
      if (render) render(audio, halfBytes);
    } catch (...) {
    }
    RememberHalf(half, audio);
    UnlockHalf();
  }
};

TSoundStream::TSoundStream(HWND window, bool quiet) : shared(new TWorkerState), quiet(quiet) {
  if (DirectSoundCreate(nullptr, dsound.Receive(), nullptr) == DS_OK) {
    dsound->SetCooperativeLevel(window, DSSCL_PRIORITY);
  }
  if (!dsound) {
    if (!quiet) MessageBoxA(nullptr, "Could not create DirectSound object", "Fatal error", MB_ICONERROR);
    throw "no sound device";
  }
  for (HANDLE& event : shared->events) {
    event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
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

  s.workerAlive = true;
  DWORD threadId = 0;
  thread = CreateThread(nullptr, 0, ThreadProc, &s, 0, &threadId);
  if (!thread) {
    s.workerAlive = false;
    s.lost = true;
  }

  hr = s.secondaryBuffer->QueryInterface(IID_IDirectSoundNotify,
                                         reinterpret_cast<void**>(notify.Receive()));
  if (FAILED(hr)) {
    notify.Forget();
    return Failed(hr, nullptr);
  }
  DSBPOSITIONNOTIFY positions[2];
  positions[0].dwOffset = s.bufferBytes >> 1;
  positions[0].hEventNotify = s.events[HalfwayEvent];
  positions[1].dwOffset = s.bufferBytes - 3;
  positions[1].hEventNotify = s.events[EndEvent];
  hr = notify->SetNotificationPositions(2, positions);
  return FAILED(hr) ? Failed(hr, nullptr) : hr;
}

// Without its buffers or notifications the stream never refills: it counts as lost.
HRESULT TSoundStream::Failed(HRESULT hr, const char* text) {
  shared->lost = true;
  if (text) ShowFailure(quiet, text);
  return hr;
}

// Touches only the shared part: the stream object may be gone by the time a stuck callback returns.
DWORD WINAPI TSoundStream::ThreadProc(LPVOID param) {
  TWorkerState& s = *static_cast<TWorkerState*>(param);
  for (;;) {
    const DWORD rc = WaitForMultipleObjects(StreamEventCount, s.events, FALSE, INFINITE);
    // A wait that fails (closed handles) would fail again at once, for ever.
    if (rc == WAIT_FAILED) break;
    if (rc == WAIT_OBJECT_0 + HalfwayEvent) {
      s.OnNotified(0);
    } else if (rc == WAIT_OBJECT_0 + EndEvent) {
      s.OnNotified(1);
    } else if (rc == WAIT_OBJECT_0 + QuitEvent) {
      if (s.stopRequested) s.Stop();
      s.running = 0;
      break;
    }
  }
  s.workerAlive = false;
  return 0;
}

void TSoundStream::Start() { shared->Start(); }

void TSoundStream::Stop() { shared->StopAndSettle(); }

void TSoundStream::Pause() { shared->Pause(); }

void TSoundStream::Resume() { shared->Resume(); }

bool TSoundStream::IsLost() const { return shared->IsLost(); }

void TSoundStream::StopAndWait(uint32_t timeoutMs) {
  TWorkerState& s = *shared;
  if (!s.workerAlive || !s.running || IsLost()) {
    Stop();
    return;
  }
  RequestStop();
  // A busy wait: the answer comes within a second, and the window thread has nothing else to do.
  // A worker that stopped the buffers itself since they were seen running answers no request.
  const DWORD begin = GetTickCount();
  while (s.stopRequested && s.running && s.workerAlive) {
    if (GetTickCount() - begin >= timeoutMs) {
      s.lost = true;  // the notifications stopped coming: the worker is not waited on any more
      s.Stop();
      return;
    }
  }
  Stop();
  s.WaitForRefill();
}

void TSoundStream::RequestStop() { shared->stopRequested = 1; }

bool TSoundStream::IsStopRequested() const { return shared->stopRequested != 0; }

void TSoundStream::SetRenderProc(TRenderProc proc) { shared->renderProc = proc; }

void TSoundStream::SetStoppedProc(TStoppedProc proc) { shared->stoppedProc = proc; }

void TSoundStream::SetTagProc(TTagProc proc) { shared->tagProc = proc; }

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
    SetEvent(s.events[QuitEvent]);
    workerEnded = WaitForSingleObject(thread, ThreadQuitTimeoutMs) == WAIT_OBJECT_0;
    CloseHandle(thread);  // the thread itself may go on; only the handle goes
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
  if (s.primaryBuffer) s.primaryBuffer->Stop();
  s.primaryBuffer.Reset();
  dsound.Reset();
}
