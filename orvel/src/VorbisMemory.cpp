#include "VorbisMemory.h"

#include <new>

namespace {
thread_local std::set<void*>* recording = nullptr;
// A real stream's setup needs a few megabytes at most; sizes read from a lying header can be huge.
constexpr std::size_t MaxBlockBytes = std::size_t(64) << 20;
}  // namespace

// Called from C: nothing may be thrown from here, so a block that cannot be recorded is refused.
extern "C" void* OrvelVorbisAlloc(std::size_t bytes) noexcept {
  if (bytes > MaxBlockBytes) return nullptr;
  void* block = ::operator new(bytes, std::nothrow);
  if (block && recording) {
    try {
      recording->insert(block);
    } catch (...) {
      ::operator delete(block);
      return nullptr;
    }
  }
  return block;
}

extern "C" void OrvelVorbisFree(void* block) noexcept {
  if (recording) recording->erase(block);
  ::operator delete(block);
}

TVorbisAllocationScope::TVorbisAllocationScope() : outer(recording) { recording = &live; }

TVorbisAllocationScope::~TVorbisAllocationScope() {
  recording = outer;
  for (void* block : live) ::operator delete(block);
}
