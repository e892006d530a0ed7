#define CINTERFACE
#include "tests/unit/audio/DirectSoundSpy.h"

#include <dsound.h>

#include <atomic>
#include <mutex>

namespace DirectSoundSpy {

namespace {

std::atomic<uint32_t> Failures{0};
bool Failing(uint32_t failure) { return (Failures & failure) != 0; }
std::mutex LogMutex;
std::vector<TSpyCall> Log;

IDirectSoundVtbl* DeviceTable;
IDirectSoundBufferVtbl* PrimaryTable;
IDirectSoundBufferVtbl* SecondaryTable;
IDirectSoundNotifyVtbl* NotifyTable;
IDirectSoundVtbl DeviceOriginal;
IDirectSoundBufferVtbl PrimaryOriginal;
IDirectSoundBufferVtbl SecondaryOriginal;
IDirectSoundNotifyVtbl NotifyOriginal;

void Record(TSpyCall call) {
  call.thread = GetCurrentThreadId();
  std::lock_guard<std::mutex> lock(LogMutex);
  Log.push_back(std::move(call));
}

bool IsPrimary(IDirectSoundBuffer* buffer) { return buffer->lpVtbl == PrimaryTable; }
const char* BufferName(IDirectSoundBuffer* buffer) { return IsPrimary(buffer) ? "primary" : "secondary"; }
const IDirectSoundBufferVtbl& Original(IDirectSoundBuffer* buffer) {
  return IsPrimary(buffer) ? PrimaryOriginal : SecondaryOriginal;
}

// Logs the call, then fails it when asked to, or hands it to the original.
template <class TOriginal>
HRESULT Logged(const TSpyCall& call, uint32_t failure, HRESULT failedWith, TOriginal original) {
  Record(call);
  return Failing(failure) ? failedWith : original();
}

HRESULT STDMETHODCALLTYPE SpyCreateSoundBuffer(IDirectSound* self, LPCDSBUFFERDESC desc,
                                               IDirectSoundBuffer** out, IUnknown* outer) {
  const bool primary = (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
  TSpyCall call{"CreateSoundBuffer", primary ? "primary" : "secondary"};
  call.flags = desc->dwFlags;
  call.bytes = desc->dwBufferBytes;
  call.hasFormat = desc->lpwfxFormat != nullptr;
  if (call.hasFormat) call.format = *desc->lpwfxFormat;
  *out = nullptr;
  return Logged(call, primary ? FailPrimaryCreate : FailSecondaryCreate, DSERR_GENERIC,
                [&] { return DeviceOriginal.CreateSoundBuffer(self, desc, out, outer); });
}

ULONG STDMETHODCALLTYPE SpyDeviceRelease(IDirectSound* self) {
  Record(TSpyCall{"Release", "dsound"});
  return DeviceOriginal.Release(self);
}

HRESULT STDMETHODCALLTYPE SpySetFormat(IDirectSoundBuffer* self, LPCWAVEFORMATEX format) {
  TSpyCall call{"SetFormat", BufferName(self)};
  call.hasFormat = true;
  call.format = *format;
  return Logged(call, FailSetFormat, DSERR_BADFORMAT, [&] { return Original(self).SetFormat(self, format); });
}

HRESULT STDMETHODCALLTYPE SpyLock(IDirectSoundBuffer* self, DWORD offset, DWORD bytes, void** audio1,
                                  DWORD* bytes1, void** audio2, DWORD* bytes2, DWORD flags) {
  TSpyCall call{"Lock", BufferName(self)};
  call.offset = offset;
  call.bytes = bytes;
  call.flags = flags;
  if (Failing((flags & DSBLOCK_ENTIREBUFFER) ? FailEntireLock : FailHalfLock)) {
    Record(call);
    return DSERR_INVALIDPARAM;
  }
  const HRESULT hr = Original(self).Lock(self, offset, bytes, audio1, bytes1, audio2, bytes2, flags);
  call.address = SUCCEEDED(hr) ? *audio1 : nullptr;
  Record(call);
  return hr;
}

HRESULT STDMETHODCALLTYPE SpyUnlock(IDirectSoundBuffer* self, void* audio1, DWORD bytes1, void* audio2,
                                    DWORD bytes2) {
  TSpyCall call{"Unlock", BufferName(self)};
  call.address = audio1;
  call.bytes = bytes1;
  return Logged(call, FailUnlock, DSERR_INVALIDPARAM,
                [&] { return Original(self).Unlock(self, audio1, bytes1, audio2, bytes2); });
}

HRESULT STDMETHODCALLTYPE SpyPlay(IDirectSoundBuffer* self, DWORD reserved, DWORD priority, DWORD flags) {
  TSpyCall call{"Play", BufferName(self)};
  call.flags = flags;
  return Logged(call, 0, 0, [&] { return Original(self).Play(self, reserved, priority, flags); });
}

HRESULT STDMETHODCALLTYPE SpyStop(IDirectSoundBuffer* self) {
  return Logged(TSpyCall{"Stop", BufferName(self)}, FailStop, DSERR_GENERIC, [&] { return Original(self).Stop(self); });
}

HRESULT STDMETHODCALLTYPE SpySetCurrentPosition(IDirectSoundBuffer* self, DWORD position) {
  TSpyCall call{"SetCurrentPosition", BufferName(self)};
  call.offset = position;
  return Logged(call, FailSetPosition, DSERR_INVALIDPARAM,
                [&] { return Original(self).SetCurrentPosition(self, position); });
}

HRESULT STDMETHODCALLTYPE SpySetVolume(IDirectSoundBuffer* self, LONG volume) {
  TSpyCall call{"SetVolume", BufferName(self)};
  call.offset = uint32_t(volume);
  return Logged(call, 0, 0, [&] { return Original(self).SetVolume(self, volume); });
}

ULONG STDMETHODCALLTYPE SpyBufferRelease(IDirectSoundBuffer* self) {
  Record(TSpyCall{"Release", BufferName(self)});
  return Original(self).Release(self);
}

HRESULT STDMETHODCALLTYPE SpySetNotificationPositions(IDirectSoundNotify* self, DWORD count,
                                                      LPCDSBPOSITIONNOTIFY positions) {
  TSpyCall call{"SetNotificationPositions", "notify"};
  for (DWORD i = 0; i < count; ++i) {
    call.offsets.push_back(positions[i].dwOffset);
    call.events.push_back(positions[i].hEventNotify);
  }
  return Logged(call, 0, 0, [&] { return NotifyOriginal.SetNotificationPositions(self, count, positions); });
}

ULONG STDMETHODCALLTYPE SpyNotifyRelease(IDirectSoundNotify* self) {
  Record(TSpyCall{"Release", "notify"});
  return NotifyOriginal.Release(self);
}

// Vtables live in read-only data; each is opened for writing just while its slots are rerouted.
template <typename Table, typename Change>
void Patch(Table* table, Change change) {
  DWORD old = 0;
  VirtualProtect(table, sizeof *table, PAGE_READWRITE, &old);
  change(*table);
  VirtualProtect(table, sizeof *table, old, &old);
  FlushInstructionCache(GetCurrentProcess(), table, sizeof *table);
}

}  // namespace

void Install() {
  if (DeviceTable) return;
  IDirectSound* device = nullptr;
  DirectSoundCreate(nullptr, &device, nullptr);
  device->lpVtbl->SetCooperativeLevel(device, GetDesktopWindow(), DSSCL_PRIORITY);
  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  device->lpVtbl->CreateSoundBuffer(device, &desc, &primary, nullptr);
  WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  desc.dwFlags = DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_LOCSOFTWARE;
  desc.dwBufferBytes = 4096;
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer* secondary = nullptr;
  device->lpVtbl->CreateSoundBuffer(device, &desc, &secondary, nullptr);
  IDirectSoundNotify* notify = nullptr;
  secondary->lpVtbl->QueryInterface(secondary, IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify));

  DeviceTable = device->lpVtbl;
  PrimaryTable = primary->lpVtbl;
  SecondaryTable = secondary->lpVtbl;
  NotifyTable = notify->lpVtbl;
  DeviceOriginal = *DeviceTable;
  PrimaryOriginal = *PrimaryTable;
  SecondaryOriginal = *SecondaryTable;
  NotifyOriginal = *NotifyTable;
  notify->lpVtbl->Release(notify);
  secondary->lpVtbl->Release(secondary);
  primary->lpVtbl->Release(primary);
  device->lpVtbl->Release(device);

  Patch(DeviceTable, [](IDirectSoundVtbl& t) {
    t.CreateSoundBuffer = SpyCreateSoundBuffer;
    t.Release = SpyDeviceRelease;
  });
  for (IDirectSoundBufferVtbl* table : {PrimaryTable, SecondaryTable}) {
    Patch(table, [](IDirectSoundBufferVtbl& t) {
      t.SetFormat = SpySetFormat;
      t.Lock = SpyLock;
      t.Unlock = SpyUnlock;
      t.Play = SpyPlay;
      t.Stop = SpyStop;
      t.SetCurrentPosition = SpySetCurrentPosition;
      t.SetVolume = SpySetVolume;
      t.Release = SpyBufferRelease;
    });
  }
  Patch(NotifyTable, [](IDirectSoundNotifyVtbl& t) {
    t.SetNotificationPositions = SpySetNotificationPositions;
    t.Release = SpyNotifyRelease;
  });
}

void Reset() {
  Failures = 0;
  std::lock_guard<std::mutex> lock(LogMutex);
  Log.clear();
}

void Fail(uint32_t failures) { Failures |= failures; }

void Note(const std::string& what, const std::string& object) { Record(TSpyCall{what, object}); }

std::vector<TSpyCall> Calls() {
  std::lock_guard<std::mutex> lock(LogMutex);
  return Log;
}

std::vector<TSpyCall> Calls(const std::string& what, const std::string& object) {
  std::vector<TSpyCall> found;
  for (const TSpyCall& call : Calls()) {
    if (call.what == what && call.object == object) found.push_back(call);
  }
  return found;
}

}  // namespace DirectSoundSpy
