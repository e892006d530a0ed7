#include "VorbisMemory.h"

#include <cstdlib>

namespace {
thread_local std::set<void*>* recording = nullptr;
// A real stream's setup needs a few megabytes at most; sizes read from a lying header can be huge.
constexpr std::size_t MaxBlockBytes = std::size_t(64) << 20;
}  // namespace

extern "C" void* OrvelVorbisAlloc(std::size_t bytes) {
  if (bytes > MaxBlockBytes) return nullptr;
  void* block = std::malloc(bytes);
  if (block && recording) recording->insert(block);
  return block;
}

extern "C" void OrvelVorbisFree(void* block) {
  if (recording) recording->erase(block);
  std::free(block);
}

TVorbisAllocationScope::TVorbisAllocationScope() : outer(recording) { recording = &live; }

TVorbisAllocationScope::~TVorbisAllocationScope() {
  recording = outer;
  for (void* block : live) std::free(block);
}
