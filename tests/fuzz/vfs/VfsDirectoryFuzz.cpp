// The bytes are an archive image as read from disk; the lookup must stay inside them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "vfs/VfsArchiveWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < VfsHeaderBytes) return 0;
  // An exact-size copy so that ASan catches any read past what the file gave.
  std::vector<uint8_t> block(data, data + size);
  const uint32_t headerSize = VfsHeaderSize(block.data());
  const int32_t count = VfsEntryCount(headerSize, block.size());
  if (count > 0 && VfsHeaderBytes + size_t(count) * VfsRecordBytes > size) __builtin_trap();
  std::string lastName;
  for (int32_t i = 0; i < count; ++i) {
    const TVfsRecord r = VfsRecordAt(block.data(), i);
    lastName = VfsRecordName(r);
    const int32_t found = VfsFindEntry(block.data(), count, lastName.c_str());
    if (found < 0 || found > i) __builtin_trap();  // every record is found, at it or an earlier twin
  }
  // A name taken from the tail of the input, of any length.
  std::string probe(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  VfsFindEntry(block.data(), count, probe.c_str());
  VfsFindEntry(block.data(), count, (lastName + lastName).c_str());
  return 0;
}
