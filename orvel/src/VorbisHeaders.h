// A look at an Ogg Vorbis stream's comment header before stb_vorbis reads it: the decoder trusts
// its counts and crashes on a header whose comment count its memory cannot hold.
#pragma once
#include <cstddef>
#include <cstdint>

// True when the Ogg pages up to the comment header are whole and every count and length in
// that header fits inside it.
bool VorbisCommentHeaderSound(const uint8_t* data, size_t size);
