#include "tests/support/win32/StandIn.h"

#include <dsound.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

const IID IID_IDirectSoundNotify = {0xB0210783, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};

namespace {

using TClock = std::chrono::steady_clock;
const TClock::time_point Origin = TClock::now();
const uint32_t BytesPerSecond = 176400;

// One lock and one condition for every object, buffer and queue: the stand-in favours plainness.
// Never destroyed, as detached threads (the device's, a worker left behind) outlive main.
std::mutex& M = *new std::mutex;
std::condition_variable& Changed = *new std::condition_variable;

struct TObject {
  virtual ~TObject() = default;
  bool closed = false;
  bool signalled = false;
  bool autoReset = false;
};
// Handles stay to the process's end, as a worker left behind may still wait on them.
std::vector<std::unique_ptr<TObject>>& Objects = *new std::vector<std::unique_ptr<TObject>>;

TClock::time_point RealDeadline(DWORD ms) {
  return ms == INFINITE ? TClock::time_point::max()
                        : TClock::now() + std::chrono::microseconds(uint64_t(ms) * 1000 / StandIn::Speed);
}

double ClockMs() {
  return StandIn::Speed * std::chrono::duration<double, std::milli>(TClock::now() - Origin).count();
}

std::mutex& HookMutex = *new std::mutex;
std::function<void(const char*)>& Hook = *new std::function<void(const char*)>;
void Hooked(const char* call) {
  std::function<void(const char*)> hook;
  {
    std::lock_guard<std::mutex> lock(HookMutex);
    hook = Hook;
  }
  if (hook) hook(call);
}

struct TPosted {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
struct TTimer {
  UINT_PTR id;
  double periodMs, dueMs;
  HWND window;
  TIMERPROC proc;
};
std::deque<TPosted>& Queue = *new std::deque<TPosted>;
std::vector<TTimer>& Timers = *new std::vector<TTimer>;

std::atomic<int> Generation{0};
bool Present = true;
bool NotifyFails = false;
int Boxes = 0;
std::vector<int16_t>& Heard = *new std::vector<int16_t>;

class TBuffer;
std::vector<TBuffer*>& Playing = *new std::vector<TBuffer*>;  // what the device thread moves

template <class Base>
class TCounted : public Base {
public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  UINT AddRef() override {
    std::lock_guard<std::mutex> lock(M);
    return ++references;
  }
  UINT Release() override {
    std::unique_lock<std::mutex> lock(M);
    const UINT left = --references;
    if (left == 0) {
      lock.unlock();
      delete this;
    }
    return left;
  }

protected:
  virtual ~TCounted() = default;
  bool Dead() const { return generation != Generation; }
  int generation = Generation;
  UINT references = 1;
};

// Its notification interface is the buffer itself, as in DirectSound.
class TBuffer : public TCounted<IDirectSoundBuffer>, public IDirectSoundNotify {
public:
  TBuffer(DWORD bytes, bool primary) : data(bytes), primary(primary) {}
  ~TBuffer() override {
    std::lock_guard<std::mutex> lock(M);
    const auto it = std::find(Playing.begin(), Playing.end(), this);
    if (it != Playing.end()) Playing.erase(it);
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (std::memcmp(&iid, &IID_IDirectSoundNotify, sizeof iid) != 0) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDirectSoundNotify*>(this);
    return DS_OK;
  }
  UINT AddRef() override { return TCounted::AddRef(); }
  UINT Release() override { return TCounted::Release(); }
  HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* given) override {
    std::lock_guard<std::mutex> lock(M);
    if (Dead() || NotifyFails) return E_FAIL;
    positions.assign(given, given + count);
    return DS_OK;
  }
  HRESULT SetFormat(const WAVEFORMATEX*) override { return Call(nullptr); }
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
    return Call(nullptr, [&] {
      *play = cursor;
      if (write) *write = cursor;
    });
  }
  HRESULT Lock(DWORD offset, DWORD bytes, void** audio1, DWORD* bytes1, void** audio2, DWORD* bytes2,
               DWORD flags) override {
    return Call("Lock", [&] {
      if (flags & DSBLOCK_ENTIREBUFFER) offset = 0, bytes = DWORD(data.size());
      *audio1 = data.data() + offset;
      *bytes1 = bytes;
      if (audio2) *audio2 = nullptr;
      if (bytes2) *bytes2 = 0;
    });
  }
  HRESULT Unlock(void*, DWORD, void*, DWORD) override { return Call("Unlock"); }
  HRESULT SetCurrentPosition(DWORD position) override {
    return Call(nullptr, [&] { cursor = position; });
  }
  HRESULT Play(DWORD, DWORD, DWORD) override {
    return Call("Play", [&] {
      if (playing || primary) return;
      playing = true;
      playedUpTo = TClock::now();
      Playing.push_back(this);
    });
  }
  HRESULT Stop() override {
    return Call("Stop", [&] {
      if (!playing) return;
      Move(TClock::now());
      playing = false;
      Playing.erase(std::find(Playing.begin(), Playing.end(), this));
    });
  }

  // The cursor moves towards where the clock says, hearing what it passes. It stops at an event it
  // fires, and moves at most 10 ms at a time: a device thread held up by a busy machine plays
  // late, rather than past halves that the worker had no turn to refill.
  void Move(TClock::time_point now) {
    if (Dead()) return;
    const double seconds = std::chrono::duration<double>(now - playedUpTo).count() * StandIn::Speed;
    const uint64_t due = std::min(uint64_t(seconds * BytesPerSecond), uint64_t(BytesPerSecond / 100)) & ~uint64_t(3);
    uint64_t bytes = 0;
    bool fired = false;
    while (bytes < due && !fired) {
      if (framesPlayed++ % (44100 / StandIn::HeardPerSecond) == 0) {
        int16_t left;
        std::memcpy(&left, &data[cursor], sizeof left);
        Heard.push_back(left);
      }
      const DWORD at = cursor;
      cursor = (cursor + 4) % DWORD(data.size());
      bytes += 4;
      for (const DSBPOSITIONNOTIFY& position : positions) {
        if (position.dwOffset >= at && position.dwOffset < at + 4) {
          static_cast<TObject*>(position.hEventNotify)->signalled = fired = true;
          Changed.notify_all();
        }
      }
    }
    playedUpTo += std::chrono::duration_cast<TClock::duration>(
        std::chrono::duration<double>(double(bytes) / BytesPerSecond / StandIn::Speed));
  }

private:
  // The hook first; then, under the lock, a failure for a dead device or the call's work.
  HRESULT Call(const char* name, const std::function<void()>& work = nullptr) {
    if (name) Hooked(name);
    std::lock_guard<std::mutex> lock(M);
    if (Dead()) return DSERR_NODRIVER;
    if (work) work();
    return DS_OK;
  }

  std::vector<uint8_t> data;
  std::vector<DSBPOSITIONNOTIFY> positions;
  bool primary;
  bool playing = false;
  DWORD cursor = 0;
  uint64_t framesPlayed = 0;
  TClock::time_point playedUpTo;
};

class TDevice : public TCounted<IDirectSound> {
public:
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, IUnknown*) override {
    std::lock_guard<std::mutex> lock(M);
    if (Dead()) return DSERR_NODRIVER;
    *out = new TBuffer(desc->dwBufferBytes, (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0);
    return DS_OK;
  }
  HRESULT SetCooperativeLevel(HWND, DWORD) override { return DS_OK; }
};

// Moves every playing buffer a little at a time, as a sound card would.
void DeviceThread() {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    std::lock_guard<std::mutex> lock(M);
    for (TBuffer* buffer : Playing) buffer->Move(TClock::now());
  }
}

thread_local DWORD ThreadId = 0;
std::atomic<DWORD> LastThreadId{0};

}  // namespace

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
  std::lock_guard<std::mutex> lock(M);
  Objects.emplace_back(new TObject);
  Objects.back()->autoReset = !manualReset;
  Objects.back()->signalled = initialState;
  return Objects.back().get();
}

BOOL SetEvent(HANDLE event) {
  std::lock_guard<std::mutex> lock(M);
  static_cast<TObject*>(event)->signalled = true;
  Changed.notify_all();
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  std::lock_guard<std::mutex> lock(M);
  static_cast<TObject*>(object)->closed = true;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD ms) { return WaitForMultipleObjects(1, &object, FALSE, ms); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL, DWORD ms) {
  const TClock::time_point deadline = RealDeadline(ms);
  std::unique_lock<std::mutex> lock(M);
  for (;;) {
    for (DWORD i = 0; i < count; ++i) {
      TObject& object = *static_cast<TObject*>(objects[i]);
      if (object.closed) return WAIT_FAILED;
      if (object.signalled) {
        if (object.autoReset) object.signalled = false;
        return WAIT_OBJECT_0 + i;
      }
    }
    if (Changed.wait_until(lock, deadline) == std::cv_status::timeout && TClock::now() >= deadline) {
      return WAIT_TIMEOUT;
    }
  }
}

HANDLE CreateThread(void*, size_t, LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD, DWORD* id) {
  TObject* thread = nullptr;
  {
    std::lock_guard<std::mutex> lock(M);
    Objects.emplace_back(new TObject);
    thread = Objects.back().get();
  }
  const DWORD threadId = ++LastThreadId;
  if (id) *id = threadId;
  std::thread([=] {
    ThreadId = threadId;
    proc(param);
    std::lock_guard<std::mutex> lock(M);
    thread->signalled = true;
    Changed.notify_all();
  }).detach();
  return thread;
}

DWORD GetCurrentThreadId() {
  if (!ThreadId) ThreadId = ++LastThreadId;
  return ThreadId;
}

DWORD GetTickCount() {
  Hooked("GetTickCount");
  return DWORD(ClockMs());
}

void Sleep(DWORD ms) { std::this_thread::sleep_until(RealDeadline(ms)); }

int MessageBoxA(HWND, const char*, const char*, UINT) {
  std::lock_guard<std::mutex> lock(M);
  ++Boxes;
  return 1;
}

BOOL PostMessageA(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> lock(M);
  Queue.push_back({message, wParam, lParam});
  Changed.notify_all();
  return TRUE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC proc) {
  KillTimer(window, id);
  std::lock_guard<std::mutex> lock(M);
  Timers.push_back({id, double(ms), ClockMs() + double(ms), window, proc});
  return id;
}

BOOL KillTimer(HWND, UINT_PTR id) {
  std::lock_guard<std::mutex> lock(M);
  const auto it = std::find_if(Timers.begin(), Timers.end(), [&](const TTimer& t) { return t.id == id; });
  if (it == Timers.end()) return FALSE;
  Timers.erase(it);
  return TRUE;
}

HRESULT WINAPI DirectSoundCreate(const GUID*, IDirectSound** out, IUnknown*) {
  static std::once_flag started;
  std::call_once(started, [] { std::thread(DeviceThread).detach(); });
  std::lock_guard<std::mutex> lock(M);
  if (!Present) return DSERR_NODRIVER;
  *out = new TDevice;
  return DS_OK;
}

namespace StandIn {

void Unplug() {
  std::lock_guard<std::mutex> lock(M);
  ++Generation;
  Present = false;
}

void Plug() {
  std::lock_guard<std::mutex> lock(M);
  Present = true;
}

void FailNotifications(bool fail) {
  std::lock_guard<std::mutex> lock(M);
  NotifyFails = fail;
}

void SetHook(std::function<void(const char*)> hook) {
  std::lock_guard<std::mutex> lock(HookMutex);
  Hook = std::move(hook);
}

std::vector<int16_t> TakeHeard() {
  std::lock_guard<std::mutex> lock(M);
  std::vector<int16_t> heard;
  heard.swap(Heard);
  return heard;
}

int MessageBoxes() {
  std::lock_guard<std::mutex> lock(M);
  return Boxes;
}

void Pump(double ms, const std::function<void(UINT, WPARAM, LPARAM)>& handler) {
  const double end = ClockMs() + ms;
  for (;;) {
    const double now = ClockMs();
    std::unique_lock<std::mutex> lock(M);
    double wakeAt = end;
    if (!Queue.empty()) {
      const TPosted posted = Queue.front();
      Queue.pop_front();
      lock.unlock();
      handler(posted.message, posted.wParam, posted.lParam);
      continue;
    }
    const auto due = std::find_if(Timers.begin(), Timers.end(), [&](const TTimer& t) { return t.dueMs <= now; });
    if (due != Timers.end()) {
      due->dueMs = now + due->periodMs;
      const TTimer timer = *due;
      lock.unlock();
      if (timer.proc) {
        timer.proc(timer.window, WM_TIMER, timer.id, DWORD(now));
      } else {
        handler(WM_TIMER, timer.id, 0);
      }
      continue;
    }
    if (now >= end) return;
    for (const TTimer& timer : Timers) wakeAt = std::min(wakeAt, timer.dueMs);
    Changed.wait_until(lock, RealDeadline(DWORD(std::max(1.0, wakeAt - now))));
  }
}

void Reset() {
  SetHook(nullptr);
  std::lock_guard<std::mutex> lock(M);
  Present = true;
  NotifyFails = false;
  Boxes = 0;
  Heard.clear();
  Queue.clear();
  Timers.clear();
}

}  // namespace StandIn
