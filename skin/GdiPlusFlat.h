// The GDI+ flat API, for code that needs no GDI+ classes.
#pragma once
#include <windows.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;  // the GDI+ headers expect min and max, which NOMINMAX takes away
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
