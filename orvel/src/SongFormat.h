// Which decoder a song's bytes belong to, judged by content alone.
#pragma once
#include <cstddef>
#include <cstdint>

enum class TSongFormat { Unknown, Wav, Vorbis, Module };

TSongFormat DetectSongFormat(const uint8_t* data, size_t size);
