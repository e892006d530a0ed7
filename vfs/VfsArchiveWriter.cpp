#include "vfs/VfsArchiveWriter.h"

#include <cstring>

std::string FoldAscii(std::string name) {
  for (char& c : name) c = char(FoldAscii(uint8_t(c)));
  return name;
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
