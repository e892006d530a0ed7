#include "tests/e2e/soak/SoakCounters.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "app/StartupHooks.h"
#include "player/PlayList.h"
#include "tests/e2e/audio/UnixMs.h"
#include "tests/support/GdiObjects.h"

namespace {
// Wine answers 0 from GetProcessHandleCount; there, the handle values in use are counted instead.
// Freed slots are handed out again lowest first, so the values in use end before a long run of
// unused ones. (Asking wine for the system's handle table while processes come and go brings its
// server down.)
unsigned long HandleCount() {
  DWORD reported = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported != 0) return reported;
  unsigned long inUse = 0;
  DWORD flags = 0;
  for (ULONG_PTR value = 4, unused = 0; unused < 256; value += 4) {
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++inUse;
      unused = 0;
    } else {
      ++unused;
    }
  }
  return inUse;
}

// Wine leaves PrivateUsage at 0; there, the committed private pages of the address space are summed.
unsigned long long PrivateBytes(const PROCESS_MEMORY_COUNTERS_EX& memory) {
  if (memory.PrivateUsage != 0) return memory.PrivateUsage;
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

// The window thread steps the index; a relaxed read of it is enough to tell the songs apart.
int CurrentSongIndex() { return PlayList ? __atomic_load_n(&PlayList->currentIndex, __ATOMIC_RELAXED) : -1; }

DWORD WINAPI PrintCounters(void*) {
  for (;;) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    std::printf("counters %lld gdi %u handles %lu private %llu workingset %llu song %d\n", UnixMs(),
                GdiObjectCount(), HandleCount(), PrivateBytes(memory),
                static_cast<unsigned long long>(memory.WorkingSetSize), CurrentSongIndex());
    std::fflush(stdout);
    Sleep(1000);
  }
}
}  // namespace

namespace {
// The soak's build reports its memory, handles and GDI objects from start-up on.
const bool Installed = (OnGdiplusStarted = StartSoakCounters, true);
}  // namespace

void StartSoakCounters() {
  // Runs until the process ends; nothing waits for it.
  const HANDLE thread = CreateThread(nullptr, 0, PrintCounters, nullptr, 0, nullptr);
  if (thread) CloseHandle(thread);
}
