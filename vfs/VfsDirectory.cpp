#include "vfs/VfsDirectory.h"

int32_t VfsEntryCount(uint32_t headerSize, size_t bytesRead) {
  if (headerSize < VfsHeaderBytes) return 0;
  size_t directory = (headerSize < bytesRead ? headerSize : bytesRead);
  if (directory < VfsHeaderBytes) return 0;
  size_t count = (directory - VfsHeaderBytes) / VfsRecordBytes;
  return count > INT32_MAX ? INT32_MAX : int32_t(count);
}

TVfsRecord VfsRecordAt(const uint8_t* block, int32_t index) {
  const uint8_t* r = block + VfsHeaderBytes + size_t(index) * VfsRecordBytes;
  return {r, ReadLe32(r + VfsNameBytes), ReadLe32(r + VfsNameBytes + 4)};
}

bool VfsNameMatches(const uint8_t* field, const char* name) {
  const auto* n = reinterpret_cast<const uint8_t*>(name);
  for (uint32_t i = 0; i < VfsNameBytes; ++i) {
    if (FoldAscii(field[i]) != FoldAscii(n[i])) return false;
    if (field[i] == 0) return true;
  }
  // A field without a terminator matches a name of exactly 32 characters.
  return n[VfsNameBytes] == 0;
}

int32_t VfsFindEntry(const uint8_t* block, int32_t entryCount, const char* name) {
  for (int32_t i = 0; i < entryCount; ++i)
    if (VfsNameMatches(VfsRecordAt(block, i).name, name)) return i;
  return -1;
}
