#include "tests/support/win32/StandIn.h"

#include <dsound.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace {

using TClock = std::chrono::steady_clock;
const uint32_t BytesPerSecond = 176400;

// One lock and one condition for every object, buffer and queue: the stand-in favours plainness.
// Never destroyed, as detached threads (the device's, a worker left behind) outlive main.
std::mutex& M = *new std::mutex;
std::condition_variable& Changed = *new std::condition_variable;

// An event or a thread. Handles stay to the process's end, as a worker left behind may still wait
// on them; closing one does nothing.
struct TObject { bool autoReset, signalled; };
std::deque<TObject>& Objects = *new std::deque<TObject>;

HANDLE NewObject(bool autoReset, bool signalled) {
  std::lock_guard<std::mutex> lock(M);
  Objects.push_back({autoReset, signalled});
  return &Objects.back();
}

// Under M.
void Signal(HANDLE object) {
  static_cast<TObject*>(object)->signalled = true;
  Changed.notify_all();
}

// The stand-in's clock is the device's: each of its ticks moves the clock on by Speed times the wall
// clock's time since the last, at most 10 ms, and not at all while a playing buffer waits on its
// worker (an event it fired not yet taken, a lock not yet given back). A device or a worker that a
// busy machine leaves without a turn is then late for no one: the tests hold threads up by their
// hooks alone. A worker that keeps the clock waiting longer than a second is stuck, not starved,
// and the clock goes on without it.
std::atomic<double> NowMs{0};
const double TickMostMs = 10;
const auto WorkerStuck = std::chrono::seconds(1);
void DeviceThread();

double ClockMs() {
  static const bool ticking = (std::thread(DeviceThread).detach(), true);
  (void)ticking;
  return NowMs;
}

// When `ms` more of the stand-in's clock will have passed, were it to keep pace with the wall clock.
TClock::time_point RealDeadline(double ms) {
  return TClock::now() + std::chrono::microseconds(uint64_t(std::max(ms, 0.5) * 1000 / StandIn::Speed));
}

std::function<void(const char*)>& Hook = *new std::function<void(const char*)>;
int HooksRunning = 0;
void Hooked(const char* call) {
  std::unique_lock<std::mutex> lock(M);
  const std::function<void(const char*)> hook = Hook;
  if (!hook) return;
  ++HooksRunning;
  lock.unlock();
  hook(call);
  lock.lock();
  if (--HooksRunning == 0) Changed.notify_all();
}

struct TPosted { UINT message; WPARAM wParam; LPARAM lParam; };
struct TTimer { double periodMs, dueMs; HWND window; TIMERPROC proc; };
std::deque<TPosted>& Queue = *new std::deque<TPosted>;
std::map<UINT_PTR, TTimer>& Timers = *new std::map<UINT_PTR, TTimer>;

std::atomic<int> Generation{0}, Boxes{0};
std::atomic<bool> Present{true}, NotifyFails{false};
std::vector<int16_t>& Heard = *new std::vector<int16_t>;

class TBuffer;
std::vector<TBuffer*>& Playing = *new std::vector<TBuffer*>;  // what the device thread moves

template <class Base>
class TCounted : public Base {
public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  UINT AddRef() override { return ++references; }
  UINT Release() override {
    const UINT left = --references;
    if (left == 0) delete this;
    return left;
  }

protected:
  virtual ~TCounted() = default;
  bool Dead() const { return generation != Generation; }
  const int generation = Generation;
  std::atomic<UINT> references{1};
};

// Its notification interface is the buffer itself, as in DirectSound. A lock past the end wraps to
// the start, in a second part; it hands out a copy that Unlock puts back, as a device's own memory
// would, so that a write that comes late for the cursor is a glitch, not a race. The write cursor
// leads the play cursor by 30 ms. One without bytes (the primary) never plays.
class TBuffer : public TCounted<IDirectSoundBuffer>, public IDirectSoundNotify {
public:
  explicit TBuffer(DWORD bytes) : data(bytes) {}
  ~TBuffer() override {
    std::lock_guard<std::mutex> lock(M);
    Playing.erase(std::remove(Playing.begin(), Playing.end(), this), Playing.end());
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
    if (NotifyFails) return E_FAIL;
    return Call([&] { positions.assign(given, given + count); });
  }
  HRESULT SetFormat(const WAVEFORMATEX*) override { return Call(); }
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write) override {
    return Call([&] {
      *play = cursor;
      if (write) *write = (cursor + DWORD(BytesPerSecond * 3 / 100)) % DWORD(data.size());
    });
  }
  HRESULT Lock(DWORD offset, DWORD bytes, void** audio, DWORD* locked, void** wrapped, DWORD* wrappedBytes,
               DWORD flags) override {
    Hooked("Lock");
    return Call([&] {
      if (flags & DSBLOCK_ENTIREBUFFER) offset = 0, bytes = DWORD(data.size());
      const DWORD first = std::min(bytes, DWORD(data.size()) - offset);
      lockedAt = offset;
      lockedOut = true;
      copy.assign(data.begin() + offset, data.begin() + offset + first);
      copy.insert(copy.end(), data.begin(), data.begin() + (bytes - first));
      *audio = copy.data();
      *locked = first;
      if (wrapped) *wrapped = first < bytes ? copy.data() + first : nullptr;
      if (wrappedBytes) *wrappedBytes = bytes - first;
    });
  }
  HRESULT Unlock(void*, DWORD, void*, DWORD) override {
    return Call([&] {
      for (size_t i = 0; i < copy.size(); ++i) data[(lockedAt + i) % data.size()] = copy[i];
      lockedOut = false;
    });
  }
  HRESULT SetVolume(int32_t) override { return Call(); }
  HRESULT SetCurrentPosition(DWORD position) override { return Call([&] { cursor = position; }); }
  HRESULT Play(DWORD, DWORD, DWORD) override {
    return Call([&] {
      if (playing || data.empty()) return;
      playing = true;
      playedUpToMs = ClockMs();
      Playing.push_back(this);
    });
  }
  HRESULT Stop() override {
    return Call([&] {
      if (!playing) return;
      Move(ClockMs());
      playing = false;
      Playing.erase(std::find(Playing.begin(), Playing.end(), this));
    });
  }

  // The cursor moves towards where the clock says, hearing what it passes. It stops at an event it
  // fires, which stops the clock until the worker takes it.
  void Move(double nowMs) {
    if (Dead()) return;
    const uint64_t due = uint64_t(std::max(nowMs - playedUpToMs, 0.0) / 1000 * BytesPerSecond) & ~uint64_t(3);
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
          Signal(position.hEventNotify);
          fired = true;
        }
      }
    }
    playedUpToMs += 1000.0 * bytes / BytesPerSecond;
  }

  // Under M: what this buffer's worker owes it before the clock may go on.
  bool WaitsOnWorker() const {
    if (Dead()) return false;
    return lockedOut || std::any_of(positions.begin(), positions.end(), [](const DSBPOSITIONNOTIFY& p) {
             return static_cast<TObject*>(p.hEventNotify)->signalled;
           });
  }

private:
  // Under the lock, a failure for a dead device or the call's work.
  HRESULT Call(const std::function<void()>& work = nullptr) {
    std::lock_guard<std::mutex> lock(M);
    if (Dead()) return DSERR_NODRIVER;
    if (work) work();
    return DS_OK;
  }

  std::vector<uint8_t> data;
  std::vector<uint8_t> copy;  // what is locked
  size_t lockedAt = 0;
  std::vector<DSBPOSITIONNOTIFY> positions;
  bool playing = false;
  DWORD cursor = 0;
  uint64_t framesPlayed = 0;
  double playedUpToMs = 0;
  bool lockedOut = false;  // between Lock and Unlock
};

class TDevice : public TCounted<IDirectSound> {
public:
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, IUnknown*) override {
    if (Dead()) return DSERR_NODRIVER;
    *out = new TBuffer(desc->dwBufferBytes);
    return DS_OK;
  }
  HRESULT SetCooperativeLevel(HWND, DWORD) override { return DS_OK; }
};

// Moves the clock and every playing buffer a little at a time, as a sound card would.
void DeviceThread() {
  TClock::time_point last = TClock::now(), lastAnswered = last;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    std::lock_guard<std::mutex> lock(M);
    const TClock::time_point now = TClock::now();
    const bool waitedOn = HooksRunning == 0 && std::any_of(Playing.begin(), Playing.end(),
                                                           [](const TBuffer* b) { return b->WaitsOnWorker(); });
    if (!waitedOn) lastAnswered = now;
    if (!waitedOn || now - lastAnswered > WorkerStuck) {
      NowMs = NowMs + std::min(StandIn::Speed * std::chrono::duration<double, std::milli>(now - last).count(), TickMostMs);
    }
    last = now;
    for (TBuffer* buffer : Playing) buffer->Move(NowMs);
  }
}

}  // namespace

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
  return NewObject(!manualReset, initialState);
}

BOOL SetEvent(HANDLE event) {
  std::lock_guard<std::mutex> lock(M);
  Signal(event);
  return TRUE;
}

BOOL CloseHandle(HANDLE) { return TRUE; }

DWORD WaitForSingleObject(HANDLE object, DWORD ms) { return WaitForMultipleObjects(1, &object, FALSE, ms); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL, DWORD ms) {
  Hooked("Wait");
  const double deadline = ms == INFINITE ? INFINITY : ClockMs() + ms;
  std::unique_lock<std::mutex> lock(M);
  for (;;) {
    for (DWORD i = 0; i < count; ++i) {
      TObject& object = *static_cast<TObject*>(objects[i]);
      if (object.signalled) {
        object.signalled = !object.autoReset;
        return WAIT_OBJECT_0 + i;
      }
    }
    const double now = ClockMs();
    if (now >= deadline) return WAIT_TIMEOUT;
    if (deadline == INFINITY) {
      Changed.wait(lock);
    } else {
      Changed.wait_until(lock, RealDeadline(deadline - now));
    }
  }
}

HANDLE CreateThread(void*, size_t, LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD, DWORD*) {
  const HANDLE thread = NewObject(false, false);
  std::thread([=] {
    proc(param);
    std::lock_guard<std::mutex> lock(M);
    Signal(thread);
  }).detach();
  return thread;
}

DWORD GetTickCount() {
  Hooked("GetTickCount");
  return DWORD(ClockMs());
}

void Sleep(DWORD ms) {
  if (ms == 0) return std::this_thread::yield();
  const double until = ClockMs() + ms;
  for (double now = ClockMs(); now < until; now = ClockMs()) std::this_thread::sleep_until(RealDeadline(until - now));
}

int MessageBoxA(HWND, const char*, const char*, UINT) {
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
  std::lock_guard<std::mutex> lock(M);
  Timers[id] = {double(ms), ClockMs() + ms, window, proc};
  return id;
}

BOOL KillTimer(HWND, UINT_PTR id) {
  std::lock_guard<std::mutex> lock(M);
  return Timers.erase(id) ? TRUE : FALSE;
}

HRESULT WINAPI DirectSoundCreate(const GUID*, IDirectSound** out, IUnknown*) {
  ClockMs();  // the device ticks from here on
  if (!Present) return DSERR_NODRIVER;
  *out = new TDevice;
  return DS_OK;
}

namespace StandIn {

void Unplug() {
  ++Generation;
  Present = false;
}

void Plug() { Present = true; }

void FailNotifications(bool fail) { NotifyFails = fail; }

void SetHook(std::function<void(const char*)> hook) {
  std::unique_lock<std::mutex> lock(M);
  Hook = std::move(hook);
  // A worker may still be inside the old hook, on state its test is about to free.
  Changed.wait(lock, [] { return HooksRunning == 0; });
}

std::vector<int16_t> TakeHeard() {
  std::lock_guard<std::mutex> lock(M);
  return std::exchange(Heard, {});
}

int MessageBoxes() { return Boxes; }

void Pump(double ms, const std::function<void(UINT, WPARAM, LPARAM)>& handler) {
  const double end = ClockMs() + ms;
  for (;;) {
    const double now = ClockMs();
    std::unique_lock<std::mutex> lock(M);
    const auto due = std::find_if(Timers.begin(), Timers.end(), [&](const auto& t) { return t.second.dueMs <= now; });
    if (!Queue.empty()) {
      const TPosted posted = Queue.front();
      Queue.pop_front();
      lock.unlock();
      handler(posted.message, posted.wParam, posted.lParam);
    } else if (due != Timers.end()) {
      due->second.dueMs = now + due->second.periodMs;
      const auto [id, timer] = *due;
      lock.unlock();
      timer.proc(timer.window, WM_TIMER, id, DWORD(now));
    } else if (now >= end) {
      return;
    } else {
      double wakeAt = end;
      for (const auto& t : Timers) wakeAt = std::min(wakeAt, t.second.dueMs);
      Changed.wait_until(lock, RealDeadline(std::max(1.0, wakeAt - now)));
    }
  }
}

void Reset() {
  std::lock_guard<std::mutex> lock(M);
  Hook = nullptr;
  Present = true;
  NotifyFails = false;
  Boxes = 0;
  Heard.clear();
  Queue.clear();
  Timers.clear();
}

}  // namespace StandIn
