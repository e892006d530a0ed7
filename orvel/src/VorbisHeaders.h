// A look at an Ogg Vorbis stream's comment and setup headers before stb_vorbis reads them. The
// decoder trusts their counts: it crashes on a comment count its memory cannot hold, and spends
// many seconds building the codewords of a forged codebook with millions of entries.
#pragma once
#include <cstddef>
#include <cstdint>

// True when the Ogg pages up to the comment header are whole, every count and length in that
// header fits inside it, and the setup header's codebooks stay within what any real encoder
// writes. A setup header cut short or malformed is left for the decoder to turn away.
bool VorbisHeadersSound(const uint8_t* data, size_t size);
