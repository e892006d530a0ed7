// The sound path: a looping DirectSound buffer played as two halves. A worker thread, woken by
// position notifications at the middle and near the end, refills the half that has just played
// through the render callback, about one second before it is heard again.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <atomic>
#include <cstdint>

// Fills one zero-filled half buffer with 16-bit stereo PCM at 44,100 Hz; runs on the worker.
typedef void (*TRenderProc)(void* half, uint32_t bytes);

// One per process: the stream events and the running flag are shared by every instance.
class TSoundStream {
public:
  // Throws a character string, after telling the user, when there is no sound device.
  explicit TSoundStream(HWND window);
  ~TSoundStream();
  TSoundStream(const TSoundStream&) = delete;
  TSoundStream& operator=(const TSoundStream&) = delete;

  HRESULT CreateBuffers(uint32_t ms);
  void Start();
  void Stop();
  void RequestStop();
  bool IsStopRequested() const;
  uint32_t GetBufferBytes() const;

private:
  void ClearBuffer();
  void* LockHalf(int half);  // null when the lock fails
  void UnlockHalf();
  void RefillHalf(int half, uint32_t halfBytes);
  static DWORD WINAPI ThreadProc(LPVOID param);

  // Whatever a failed CreateBuffers did not make stays null.
  IDirectSound* dsound;
  IDirectSoundBuffer* primaryBuffer = nullptr;
  IDirectSoundBuffer* secondaryBuffer = nullptr;
  IDirectSoundNotify* notify = nullptr;
  std::atomic<void*> lockedPtr{nullptr};
  HANDLE thread = nullptr;
  DWORD threadId = 0;
  uint32_t bufferBytes = 0;
  std::atomic<uint8_t> stopRequested{0};

public:
  TRenderProc renderProc;  // assigned by the owner right after construction
};
