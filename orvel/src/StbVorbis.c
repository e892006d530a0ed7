/* The stb_vorbis decoder, compiled once, allocating through VorbisMemory. Songs are decoded from
   memory, never pushed or read by stdio. The C headers come first so that the allocation macros
   below touch only the decoder's own calls. */
#include <assert.h>
#include <math.h>
#include <setjmp.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
#include <malloc.h>
#else
#include <alloca.h>
#endif

#if defined(_MSC_VER)
#define ORVEL_THREAD_LOCAL __declspec(thread)
#else
#define ORVEL_THREAD_LOCAL _Thread_local
#endif

void* OrvelVorbisAlloc(size_t bytes);
void OrvelVorbisFree(void* block);

/* After a failed allocation the decoder's own clean-up of a half-built setup walks arrays that were
   never made, by counts that were read. So an open is left at its first failed allocation, straight
   back to OrvelVorbisOpen, and the caller's allocation scope frees whatever was made. */
static ORVEL_THREAD_LOCAL jmp_buf* openEscape;

static void* AllocateOrLeave(size_t bytes) {
  void* block = OrvelVorbisAlloc(bytes);
  if (!block && openEscape) longjmp(*openEscape, 1);
  return block;
}

#define malloc(bytes) AllocateOrLeave(bytes)
#define free(block) OrvelVorbisFree(block)

#define STB_VORBIS_NO_PUSHDATA_API
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>

stb_vorbis* OrvelVorbisOpen(const unsigned char* data, int size) {
  jmp_buf escape;
  stb_vorbis* volatile decoder = NULL;
  int error = 0;
  if (setjmp(escape) == 0) {
    openEscape = &escape;
    decoder = stb_vorbis_open_memory(data, size, &error, NULL);
  }
  openEscape = NULL;
  return decoder;
}
