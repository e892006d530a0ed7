#include "tests/support/GdiObjects.h"

#include <windows.h>

unsigned GdiObjectCount() {
  const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported != 0) return reported;
  unsigned inUse = 0;
  for (ULONG_PTR index = 1; index < 0x10000; ++index)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++inUse;
  return inUse;
}
