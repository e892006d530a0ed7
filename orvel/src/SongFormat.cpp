#include "SongFormat.h"

#include <cstring>
#include <libopenmpt/libopenmpt.hpp>

TSongFormat DetectSongFormat(const uint8_t* data, size_t size) {
  if (!data || size == 0) return TSongFormat::Unknown;
  if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0)
    return TSongFormat::Wav;
  // An Ogg stream whose first packet is a Vorbis identification header.
  if (size >= 35 && std::memcmp(data, "OggS", 4) == 0 && data[28] == 1 &&
      std::memcmp(data + 29, "vorbis", 6) == 0)
    return TSongFormat::Vorbis;
  try {
    int probe = openmpt::probe_file_header(openmpt::probe_file_header_flags_default2,
                                           reinterpret_cast<const std::byte*>(data), size, size);
    if (probe == openmpt::probe_file_header_result_success) return TSongFormat::Module;
  } catch (...) {
  }
  return TSongFormat::Unknown;
}
