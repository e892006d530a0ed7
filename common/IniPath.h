// How the profile functions are to find an INI file of the current directory.
#pragma once
#include <string>

// ".\name" is resolved by Windows against the current directory as it holds it, in Unicode. A
// path built from GetCurrentDirectoryA loses every letter outside the ANSI code page, so a disk
// in a folder named in another language would lose its INI files; a bare name would be looked
// up in the Windows folder instead.
inline std::string CurrentDirectoryIniPath(const char* fileName) {
  return std::string(".\\") + fileName;
}
