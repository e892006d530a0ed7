// stb_vorbis leaks what it has allocated when it gives up on a bad stream. Its allocations go
// through these functions, so that a failed open can take back what the decoder left behind.
// The blocks come from operator new, as every other allocation of a load does, so that one
// replacement of it sees them all. A failure is a null result, never an exception.
#pragma once
#include <cstddef>
#include <set>

extern "C" void* OrvelVorbisAlloc(std::size_t bytes) noexcept;
extern "C" void OrvelVorbisFree(void* block) noexcept;

// stb_vorbis_open_memory, but a failed allocation fails the open without the decoder's own
// clean-up; call it inside a TVorbisAllocationScope, which frees what was left.
struct stb_vorbis;
extern "C" stb_vorbis* OrvelVorbisOpen(const unsigned char* data, int size) noexcept;

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
