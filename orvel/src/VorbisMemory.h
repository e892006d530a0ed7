// stb_vorbis leaks what it has allocated when it gives up on a bad stream. Its allocations go
// through these functions, so that a failed open can take back what the decoder left behind.
#pragma once
#include <cstddef>
#include <set>

extern "C" void* OrvelVorbisAlloc(std::size_t bytes);
extern "C" void OrvelVorbisFree(void* block);

// While one lives, the decoder's allocations on this thread are recorded; on destruction whatever
// is still recorded is freed, unless Keep was called.
class TVorbisAllocationScope {
 public:
  TVorbisAllocationScope();
  ~TVorbisAllocationScope();
  TVorbisAllocationScope(const TVorbisAllocationScope&) = delete;
  TVorbisAllocationScope& operator=(const TVorbisAllocationScope&) = delete;
  void Keep() { live.clear(); }

 private:
  std::set<void*> live;
  std::set<void*>* outer;
};
