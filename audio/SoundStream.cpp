#include "audio/SoundStream.h"

#include <cstring>

namespace {

enum { HalfwayEvent, EndEvent, QuitEvent, StreamEventCount };

HANDLE StreamEvents[StreamEventCount];
std::atomic<uint32_t> StreamRunning{0};  // 1 from Start until the buffers are stopped

const DWORD SecondaryFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME |
                             DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_LOCSOFTWARE;
const DWORD ThreadQuitTimeoutMs = 3000;

void Complain(const char* text) { MessageBoxA(nullptr, text, "Oops", MB_ICONERROR); }

}  // namespace

TSoundStream::TSoundStream(HWND window) {
  dsound = nullptr;
  renderProc = nullptr;
  if (DirectSoundCreate(nullptr, &dsound, nullptr) == DS_OK) {
    dsound->SetCooperativeLevel(window, DSSCL_PRIORITY);
  }
  if (!dsound) {
    MessageBoxA(nullptr, "Could not create DirectSound object", "Fatal error", MB_ICONERROR);
    throw "no sound device";
  }
  for (HANDLE& event : StreamEvents) {
    event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
}

HRESULT TSoundStream::CreateBuffers(uint32_t ms) {
  DSBUFFERDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME;
  desc.dwBufferBytes = 0;
  desc.lpwfxFormat = nullptr;
  HRESULT hr = dsound->CreateSoundBuffer(&desc, &primaryBuffer, nullptr);
  if (FAILED(hr)) {
    primaryBuffer = nullptr;
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
  hr = primaryBuffer->SetFormat(&format);
  if (FAILED(hr)) {
    Complain("Format setting failed");
    return hr;
  }

  desc.lpwfxFormat = &format;
  desc.dwFlags = SecondaryFlags;
  bufferBytes = uint32_t(ms * uint32_t(format.nAvgBytesPerSec)) / 1000;
  desc.dwBufferBytes = bufferBytes;
  hr = dsound->CreateSoundBuffer(&desc, &secondaryBuffer, nullptr);
  if (FAILED(hr)) {
    secondaryBuffer = nullptr;
    Complain("Secondary buffer creation failed");
    return hr;
  }

  thread = CreateThread(nullptr, 0, ThreadProc, this, 0, &threadId);

  hr = secondaryBuffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify));
  if (FAILED(hr)) {
    notify = nullptr;
    return hr;
  }
  DSBPOSITIONNOTIFY positions[2];
  positions[0].dwOffset = bufferBytes >> 1;
  positions[0].hEventNotify = StreamEvents[HalfwayEvent];
  positions[1].dwOffset = bufferBytes - 3;
  positions[1].hEventNotify = StreamEvents[EndEvent];
  return notify->SetNotificationPositions(2, positions);
}

DWORD WINAPI TSoundStream::ThreadProc(LPVOID param) {
  TSoundStream* stream = static_cast<TSoundStream*>(param);
  const uint32_t half = stream->GetBufferBytes() >> 1;
  for (;;) {
    const DWORD rc = WaitForMultipleObjects(StreamEventCount, StreamEvents, FALSE, INFINITE);
    if (rc == WAIT_FAILED) continue;
    if (stream->IsStopRequested()) stream->Stop();
    if (rc == WAIT_OBJECT_0 + HalfwayEvent) {
      stream->RefillHalf(0, half);
    } else if (rc == WAIT_OBJECT_0 + EndEvent) {
      stream->RefillHalf(1, half);
    } else if (rc == WAIT_OBJECT_0 + QuitEvent) {
      StreamRunning = 0;
      ExitThread(0);
    }
  }
}

// A half whose lock fails keeps what it holds; the callback is not called.
void TSoundStream::RefillHalf(int half, uint32_t halfBytes) {
  void* audio = LockHalf(half);
  if (!audio) return;
  std::memset(audio, 0, halfBytes);
  if (renderProc) renderProc(audio, halfBytes);
  UnlockHalf();
}

void* TSoundStream::LockHalf(int half) {
  const uint32_t halfBytes = bufferBytes >> 1;
  void* audio = nullptr;
  DWORD lockedBytes = 0;
  const HRESULT hr =
      secondaryBuffer->Lock(half * halfBytes, halfBytes, &audio, &lockedBytes, nullptr, nullptr, 0);
  lockedPtr = SUCCEEDED(hr) ? audio : nullptr;
  return lockedPtr;
}

void TSoundStream::UnlockHalf() {
  secondaryBuffer->Unlock(lockedPtr, bufferBytes >> 1, nullptr, 0);
}

// The whole buffer, so that a restart plays silence until the first refill is heard.
void TSoundStream::ClearBuffer() {
  void* audio = nullptr;
  DWORD bytes = 0;
  if (FAILED(secondaryBuffer->Lock(0, 0, &audio, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
    return;
  }
  std::memset(audio, 0, bytes);
  secondaryBuffer->Unlock(audio, bytes, nullptr, 0);
}

void TSoundStream::Start() {
  if (StreamRunning) return;
  stopRequested = 0;
  if (secondaryBuffer) {
    ClearBuffer();
    secondaryBuffer->SetCurrentPosition(0);
  }
  if (primaryBuffer) primaryBuffer->Play(0, 0, DSBPLAY_LOOPING);
  if (secondaryBuffer) secondaryBuffer->Play(0, 0, DSBPLAY_LOOPING);
  StreamRunning = 1;
}

// Only a stop of a running stream answers a stop request.
void TSoundStream::Stop() {
  if (!StreamRunning) return;
  if (secondaryBuffer) secondaryBuffer->Stop();
  if (primaryBuffer) primaryBuffer->Stop();
  StreamRunning = 0;
  stopRequested = 0;
}

void TSoundStream::RequestStop() { stopRequested = 1; }

bool TSoundStream::IsStopRequested() const { return stopRequested != 0; }

uint32_t TSoundStream::GetBufferBytes() const { return bufferBytes; }

// A worker stuck in its callback is given up on after the time-out; the interfaces go anyway.
TSoundStream::~TSoundStream() {
  if (!dsound) return;
  Stop();
  SetEvent(StreamEvents[QuitEvent]);
  if (thread) WaitForSingleObject(thread, ThreadQuitTimeoutMs);
  if (notify) notify->Release();
  if (secondaryBuffer) secondaryBuffer->Release();
  if (primaryBuffer) {
    primaryBuffer->Stop();
    primaryBuffer->Release();
  }
  dsound->Release();
  dsound = nullptr;
  for (HANDLE event : StreamEvents) {
    CloseHandle(event);
  }
  if (thread) CloseHandle(thread);  // the thread itself may still be stuck; only the handle goes
}
