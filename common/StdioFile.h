// C stdio files: one that closes itself, and reading one whole.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

using TStdioFile = std::unique_ptr<std::FILE, TFileCloser>;

// Appends the rest of `file` to `bytes`. False on a read error, or as soon as more than `limit`
// bytes would be held.
inline bool ReadWholeFile(std::FILE* file, std::vector<uint8_t>& bytes, size_t limit = SIZE_MAX) {
  uint8_t chunk[65536];
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    if (got > limit - bytes.size()) return false;
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  return !std::ferror(file);
}
