// RIFF WAVE parsing and decoding to float stereo, from bytes in memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum class TWavEncoding { Pcm, Float };

struct TWavInfo {
  TWavEncoding encoding = TWavEncoding::Pcm;
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;
  size_t frameCount = 0;
  const uint8_t* frames = nullptr;  // points into the parsed bytes
};

// True for a well-formed WAV we can play: PCM 8/16/24/32 or float 32/64, mono or stereo,
// at least one frame, and a data chunk that lies wholly inside the bytes.
bool ParseWav(const uint8_t* data, size_t size, TWavInfo& info);

// Interleaved stereo floats at the file's rate; mono goes to both channels, non-finite values to 0.
// The first form writes info.frameCount * 2 floats to out.
void DecodeWavFrames(const TWavInfo& info, float* out);
std::vector<float> DecodeWavFrames(const TWavInfo& info);
