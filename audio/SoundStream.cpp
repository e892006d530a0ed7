#include "audio/SoundStream.h"

#include <cstring>

namespace {

enum { HalfwayEvent, EndEvent, QuitEvent, StreamEventCount };

const DWORD SecondaryFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME |
                             DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_LOCSOFTWARE;
const DWORD ThreadQuitTimeoutMs = 3000;

void Complain(const char* text) { MessageBoxA(nullptr, text, "Oops", MB_ICONERROR); }

}  // namespace

// Whatever a failed CreateBuffers did not make stays null.
struct TSoundStream::TShared {
  HANDLE events[StreamEventCount] = {};
  IDirectSoundBuffer* primaryBuffer = nullptr;
  IDirectSoundBuffer* secondaryBuffer = nullptr;
  uint32_t bufferBytes = 0;
  std::atomic<void*> lockedPtr{nullptr};
  // Set by Start, cleared by whichever thread stops the buffers, and by the worker as it quits.
  std::atomic<uint32_t> running{0};
  // Set by the window thread; only a stop of running buffers clears it.
  std::atomic<uint8_t> stopRequested{0};
  // Cleared when the worker has ended or will never wake again.
  std::atomic<bool> workerAlive{false};
  std::atomic<TRenderProc> renderProc{nullptr};

  ~TShared() {
    for (HANDLE event : events) {
      if (event) CloseHandle(event);
    }
  }

  void Start() {
    if (running) return;
    stopRequested = 0;
    if (secondaryBuffer) {
      ClearBuffer();
      secondaryBuffer->SetCurrentPosition(0);
    }
    if (primaryBuffer) primaryBuffer->Play(0, 0, DSBPLAY_LOOPING);
    if (secondaryBuffer) secondaryBuffer->Play(0, 0, DSBPLAY_LOOPING);
    running = 1;
  }

  // When the worker answers a request just as the window thread gives up on it, both stop the
  // buffers; that is harmless.
  void Stop() {
    if (!running) return;
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
  }

  void* LockHalf(int half) {
    const uint32_t halfBytes = bufferBytes >> 1;
    void* audio = nullptr;
    DWORD lockedBytes = 0;
    const HRESULT hr =
        secondaryBuffer->Lock(half * halfBytes, halfBytes, &audio, &lockedBytes, nullptr, nullptr, 0);
    lockedPtr = SUCCEEDED(hr) ? audio : nullptr;
    return lockedPtr;
  }

  void UnlockHalf() { secondaryBuffer->Unlock(lockedPtr, bufferBytes >> 1, nullptr, 0); }

  // A half whose lock fails keeps what it holds; the callback is not called.
  void RefillHalf(int half, uint32_t halfBytes) {
    void* audio = LockHalf(half);
    if (!audio) return;
    std::memset(audio, 0, halfBytes);
    const TRenderProc render = renderProc;
    if (render) render(audio, halfBytes);
    UnlockHalf();
  }
};

TSoundStream::TSoundStream(HWND window) : dsound(nullptr), shared(new TShared), renderProc(shared->renderProc) {
  if (DirectSoundCreate(nullptr, &dsound, nullptr) == DS_OK) {
    dsound->SetCooperativeLevel(window, DSSCL_PRIORITY);
  }
  if (!dsound) {
    MessageBoxA(nullptr, "Could not create DirectSound object", "Fatal error", MB_ICONERROR);
    throw "no sound device";
  }
  for (HANDLE& event : shared->events) {
    event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
}

HRESULT TSoundStream::CreateBuffers(uint32_t ms) {
  TShared& s = *shared;
  DSBUFFERDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME;
  desc.dwBufferBytes = 0;
  desc.lpwfxFormat = nullptr;
  HRESULT hr = dsound->CreateSoundBuffer(&desc, &s.primaryBuffer, nullptr);
  if (FAILED(hr)) {
    s.primaryBuffer = nullptr;
    Complain("Primary buffer creation failed");
    return hr;
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
  if (FAILED(hr)) {
    Complain("Format setting failed");
    return hr;
  }

  desc.lpwfxFormat = &format;
  desc.dwFlags = SecondaryFlags;
  s.bufferBytes = uint32_t(ms * uint32_t(format.nAvgBytesPerSec)) / 1000;
  desc.dwBufferBytes = s.bufferBytes;
  hr = dsound->CreateSoundBuffer(&desc, &s.secondaryBuffer, nullptr);
  if (FAILED(hr)) {
    s.secondaryBuffer = nullptr;
    Complain("Secondary buffer creation failed");
    return hr;
  }

  s.workerAlive = true;
  thread = CreateThread(nullptr, 0, ThreadProc, &s, 0, &threadId);
  if (!thread) s.workerAlive = false;

  hr = s.secondaryBuffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify));
  if (FAILED(hr)) {
    notify = nullptr;
    return hr;
  }
  DSBPOSITIONNOTIFY positions[2];
  positions[0].dwOffset = s.bufferBytes >> 1;
  positions[0].hEventNotify = s.events[HalfwayEvent];
  positions[1].dwOffset = s.bufferBytes - 3;
  positions[1].hEventNotify = s.events[EndEvent];
  return notify->SetNotificationPositions(2, positions);
}

// Touches only the shared part: the stream object may be gone by the time a stuck callback returns.
DWORD WINAPI TSoundStream::ThreadProc(LPVOID param) {
  TShared& s = *static_cast<TShared*>(param);
  const uint32_t half = s.bufferBytes >> 1;
  for (;;) {
    const DWORD rc = WaitForMultipleObjects(StreamEventCount, s.events, FALSE, INFINITE);
    // A wait that fails (closed handles) would fail again at once, for ever.
    if (rc == WAIT_FAILED) break;
    if (s.stopRequested) s.Stop();
    if (rc == WAIT_OBJECT_0 + HalfwayEvent) {
      s.RefillHalf(0, half);
    } else if (rc == WAIT_OBJECT_0 + EndEvent) {
      s.RefillHalf(1, half);
    } else if (rc == WAIT_OBJECT_0 + QuitEvent) {
      s.running = 0;
      break;
    }
  }
  s.workerAlive = false;
  return 0;
}

void TSoundStream::Start() { shared->Start(); }

void TSoundStream::Stop() { shared->Stop(); }

void TSoundStream::StopAndWait(uint32_t timeoutMs) {
  if (!shared->workerAlive || !shared->running) {
    Stop();
    return;
  }
  RequestStop();
  // A busy wait: the answer comes within a second, and the window thread has nothing else to do.
  const DWORD begin = GetTickCount();
  while (IsStopRequested()) {
    if (GetTickCount() - begin >= timeoutMs || !shared->workerAlive) {
      Stop();
      return;
    }
  }
}

void TSoundStream::RequestStop() { shared->stopRequested = 1; }

bool TSoundStream::IsStopRequested() const { return shared->stopRequested != 0; }

uint32_t TSoundStream::GetBufferBytes() const { return shared->bufferBytes; }

TSoundStream::~TSoundStream() {
  if (!dsound) return;
  TShared& s = *shared;
  Stop();
  bool workerEnded = true;
  if (thread) {
    SetEvent(s.events[QuitEvent]);
    workerEnded = WaitForSingleObject(thread, ThreadQuitTimeoutMs) == WAIT_OBJECT_0;
    CloseHandle(thread);  // the thread itself may go on; only the handle goes
  }
  if (!workerEnded) {
    // Releasing the device would release its buffers under the worker too.
    shared.release();
    dsound = nullptr;
    return;
  }
  if (notify) notify->Release();
  if (s.secondaryBuffer) s.secondaryBuffer->Release();
  if (s.primaryBuffer) {
    s.primaryBuffer->Stop();
    s.primaryBuffer->Release();
  }
  dsound->Release();
  dsound = nullptr;
}
