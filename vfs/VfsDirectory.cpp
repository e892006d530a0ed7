#include "vfs/VfsDirectory.h"

#include <cstring>

#include "common/LittleEndian.h"

uint32_t VfsReadLe32(const uint8_t* p) { return ReadLe32(p); }

int32_t VfsEntryCount(uint32_t headerSize, size_t bytesRead) {
  if (headerSize < VfsHeaderBytes) return 0;
  size_t directory = (headerSize < bytesRead ? headerSize : bytesRead);
  if (directory < VfsHeaderBytes) return 0;
  size_t count = (directory - VfsHeaderBytes) / VfsRecordBytes;
  return count > INT32_MAX ? INT32_MAX : int32_t(count);
}

TVfsRecord VfsRecordAt(const uint8_t* block, int32_t index) {
  const uint8_t* r = block + VfsHeaderBytes + size_t(index) * VfsRecordBytes;
  return {r, VfsReadLe32(r + VfsNameBytes), VfsReadLe32(r + VfsNameBytes + 4)};
}

static uint8_t FoldAscii(uint8_t c) { return (c >= 'A' && c <= 'Z') ? uint8_t(c - 'A' + 'a') : c; }

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

std::string VfsRecordName(const TVfsRecord& record) {
  const char* p = reinterpret_cast<const char*>(record.name);
  return std::string(p, strnlen(p, VfsNameBytes));
}

std::vector<uint8_t> VfsBuildArchive(const std::vector<TVfsInput>& entries) {
  const uint32_t headerSize = VfsHeaderBytes + VfsRecordBytes * uint32_t(entries.size());
  std::vector<uint8_t> out(headerSize);
  WriteLe32(&out[4], headerSize);
  uint32_t offset = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    uint8_t* r = &out[VfsHeaderBytes + i * VfsRecordBytes];
    const std::string& name = entries[i].name;
    memcpy(r, name.data(), name.size() < VfsMaxNameLength ? name.size() : VfsMaxNameLength);
    WriteLe32(r + VfsNameBytes, offset);
    WriteLe32(r + VfsNameBytes + 4, uint32_t(entries[i].data.size()));
    offset += uint32_t(entries[i].data.size());
  }
  for (const auto& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  return out;
}
