/* The stb_vorbis decoder, compiled once, allocating through VorbisMemory. Songs are decoded from
   memory, never pushed or read by stdio. The C headers come first so that the allocation macros
   below touch only the decoder's own calls. */
#include <assert.h>
#include <math.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
#include <malloc.h>
#else
#include <alloca.h>
#endif

void* OrvelVorbisAlloc(size_t bytes);
void OrvelVorbisFree(void* block);
#define malloc(bytes) OrvelVorbisAlloc(bytes)
#define free(block) OrvelVorbisFree(block)

#define STB_VORBIS_NO_PUSHDATA_API
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>
