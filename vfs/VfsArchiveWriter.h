// Writing archives and naming their entries: what the authoring tool and the tests need, and the
// program does not link.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "vfs/VfsDirectory.h"

// The name with its ASCII letters folded to lower case, as entry names compare.
std::string FoldAscii(std::string name);

// The name field as a string (up to its NUL, or all 32 bytes).
std::string VfsRecordName(const TVfsRecord& record);

struct TVfsInput {
  std::string name;
  std::vector<uint8_t> data;
};

// Serialises entries into an archive image: records in the given order, contents back to back.
// Names must be at most VfsMaxNameLength characters (checked by the caller).
std::vector<uint8_t> VfsBuildArchive(const std::vector<TVfsInput>& entries);
