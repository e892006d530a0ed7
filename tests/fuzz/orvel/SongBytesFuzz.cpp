// Arbitrary bytes through format detection, the WAV parser and decoder (with the resampler behind
// it), the Ogg Vorbis header check and decoder, and the module completeness check.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ModuleIntegrity.h"
#include "SongFormat.h"
#include "SongSource.h"
#include "VorbisHeaders.h"
#include "WavReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ModuleDataComplete(data, size);
  VorbisHeadersSound(data, size);
  TSongFormat format = DetectSongFormat(data, size);
  TWavInfo info;
  if (ParseWav(data, size, info)) {
    if (info.frames < data || info.frames + info.frameCount * info.channels * (info.bitsPerSample / 8) > data + size)
      __builtin_trap();
    DecodeWavFrames(info);
  }
  if (format == TSongFormat::Wav || format == TSongFormat::Vorbis) {
    TRenderSettings settings;
    auto source = OpenSongSource(std::vector<uint8_t>(data, data + size), settings);
    if (source) {
      std::vector<float> out(2 * 1024);
      for (int i = 0; i < 3 && !source->AtEnd(); ++i) source->Read(out.data(), 1024);
      source->Rewind();
      source->Read(out.data(), 100);
    }
  }
  return 0;
}
