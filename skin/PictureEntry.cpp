#include "skin/PictureEntry.h"

#include <windows.h>

#include "common/BoundedText.h"
#include "vfs/VfsFile.h"

bool SelectPictureEntry(const char* name, const char* caption) {
  if (Archive != nullptr && Archive->SelectEntry(name)) return true;
  // A long name is cut to the buffer, never written past it.
  char text[MissingPictureTextSize];
  TBoundedText(text, sizeof text).Add("Cannot find file ").Add(name);
  MessageBoxA(nullptr, text, caption, MB_ICONERROR);
  return false;
}
