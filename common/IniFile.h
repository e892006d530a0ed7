// An INI file of the current directory, read through the profile functions.
#pragma once
#include <windows.h>

#include <cstdint>

#include "common/BoundedText.h"

class TIniFile {
public:
  // ".\name" is resolved by Windows against the current directory as it holds it, in Unicode. A
  // path built from GetCurrentDirectoryA loses every letter outside the ANSI code page, so a disk
  // in a folder named in another language would lose its INI files; a bare name would be looked
  // up in the Windows folder instead.
  explicit TIniFile(const char* fileName) { TBoundedText(path, sizeof path).Add(".\\").Add(fileName); }
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  // A missing number reads as 0.
  int32_t Int(const char* section, const char* key) const {
    return int32_t(GetPrivateProfileIntA(section, key, 0, path));
  }

  // Reads at most MAX_PATH - 1 characters into `out` (MAX_PATH bytes); true when not empty.
  bool String(const char* section, const char* key, const char* fallback, char* out) const {
    GetPrivateProfileStringA(section, key, fallback, out, MAX_PATH, path);
    return out[0] != '\0';
  }

private:
  char path[MAX_PATH];
};
