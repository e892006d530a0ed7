#include "tests/e2e/soak/SoakCounters.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <vector>

#include "tests/e2e/audio/UnixMs.h"
#include "tests/support/GdiObjects.h"

namespace {
// The system-wide handle table (information class 16), as ntdll lays it out.
struct THandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  void* object;
  ACCESS_MASK access;
};
struct THandleTable {
  ULONG count;
  THandleEntry entries[1];
};
using TQuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

// Wine answers 0 from GetProcessHandleCount; there, this process's entries of the system's handle
// table are counted instead. The buffer is kept so that the count does not move the memory figure.
unsigned long HandleCount(std::vector<unsigned char>& buffer) {
  DWORD reported = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &reported) && reported != 0) return reported;
  const auto query = reinterpret_cast<TQuerySystemInformation>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(16, buffer.data(), ULONG(buffer.size()), &needed);
    if (status >= 0) break;
    if (buffer.size() >= (64u << 20)) return 0;
    buffer.resize(needed > buffer.size() ? needed + 4096 : buffer.size() * 2);
  }
  const auto* table = reinterpret_cast<const THandleTable*>(buffer.data());
  const ULONG self = GetCurrentProcessId();
  unsigned long own = 0;
  for (ULONG i = 0; i < table->count; ++i)
    if (table->entries[i].ownerPid == self) ++own;
  return own;
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

DWORD WINAPI PrintCounters(void*) {
  std::vector<unsigned char> handleTable(1u << 16);
  for (;;) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    std::printf("counters %lld gdi %u handles %lu private %llu workingset %llu\n", UnixMs(),
                GdiObjectCount(), HandleCount(handleTable), PrivateBytes(memory),
                static_cast<unsigned long long>(memory.WorkingSetSize));
    std::fflush(stdout);
    Sleep(1000);
  }
}
}  // namespace

void StartSoakCounters() {
  // Runs until the process ends; nothing waits for it.
  const HANDLE thread = CreateThread(nullptr, 0, PrintCounters, nullptr, 0, nullptr);
  if (thread) CloseHandle(thread);
}
