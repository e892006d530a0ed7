// Watches the stream's DirectSound calls from outside: the methods of the real device, buffer
// and notification objects are rerouted through recorders that call the originals, or fail on
// request. Nothing in the stream knows about it.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>
#include <vector>

struct TSpyCall {
  TSpyCall(std::string method, std::string of) : what(std::move(method)), object(std::move(of)) {}
  std::string what;    // the method's name
  std::string object;  // "dsound", "primary", "secondary" or "notify"
  DWORD thread = 0;
  uint32_t flags = 0;   // CreateSoundBuffer, Lock, Play
  uint32_t bytes = 0;   // CreateSoundBuffer, Lock, Unlock
  uint32_t offset = 0;  // Lock, SetCurrentPosition; SetVolume's, as unsigned
  void* address = nullptr;  // Lock (returned), Unlock (given)
  bool hasFormat = false;
  WAVEFORMATEX format = {};  // CreateSoundBuffer, SetFormat
  std::vector<uint32_t> offsets;  // SetNotificationPositions
  std::vector<HANDLE> events;
};

// Calls that fail on request, without reaching the device.
enum TSpyFailure : uint32_t {
  FailPrimaryCreate = 1,
  FailSetFormat = 2,
  FailSecondaryCreate = 4,
  FailHalfLock = 8,     // a Lock without DSBLOCK_ENTIREBUFFER
  FailEntireLock = 16,  // a Lock with it
  FailUnlock = 32,
  FailStop = 64,
  FailSetPosition = 128,
};

namespace DirectSoundSpy {
void Install();  // once per process, before the first stream
void Reset();    // empties the log and clears the failures
void Fail(uint32_t failures);  // TSpyFailure bits, added to those already asked for
// Puts a call made elsewhere (to the player library, say) into the same log, in its place.
void Note(const std::string& what, const std::string& object);
std::vector<TSpyCall> Calls();
std::vector<TSpyCall> Calls(const std::string& what, const std::string& object);
}  // namespace DirectSoundSpy
