// The data.vfs layout: an 8-byte header (an unused word, then headerSize), a directory of
// 40-byte entry records, then the data area at file offset headerSize. Integers are
// 32-bit little-endian. No Windows here: the archive reader, vfspack and the fuzzer share it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/LittleEndian.h"

constexpr uint32_t VfsHeaderBytes = 8;
constexpr uint32_t VfsRecordBytes = 40;
constexpr uint32_t VfsNameBytes = 32;  // NUL-terminated inside: at most 31 characters
constexpr uint32_t VfsMaxNameLength = VfsNameBytes - 1;

struct TVfsRecord {
  const uint8_t* name;  // VfsNameBytes bytes, not necessarily NUL-terminated
  uint32_t offset;      // from the start of the data area
  uint32_t size;
};

// headerSize from the first 8 bytes of an archive.
inline uint32_t VfsHeaderSize(const uint8_t* header) { return ReadLe32(header + 4); }

// Number of whole records in a directory block of which `bytesRead` bytes are real
// (a short read or a headerSize below 8 yields fewer, never more).
int32_t VfsEntryCount(uint32_t headerSize, size_t bytesRead);

TVfsRecord VfsRecordAt(const uint8_t* block, int32_t index);

// ASCII letters to lower case, every other byte as it is: names compare so.
inline uint8_t FoldAscii(uint8_t c) { return (c >= 'A' && c <= 'Z') ? uint8_t(c - 'A' + 'a') : c; }

// Case-insensitive for ASCII letters only, ending at the first NUL or after the field's 32 bytes.
bool VfsNameMatches(const uint8_t* field, const char* name);

// Index of the first record whose name matches, or -1.
int32_t VfsFindEntry(const uint8_t* block, int32_t entryCount, const char* name);
