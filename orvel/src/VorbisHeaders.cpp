#include "VorbisHeaders.h"

#include <cstring>
#include <vector>

#include "common/LittleEndian.h"

namespace {

bool CommentPacketSound(const std::vector<uint8_t>& packet) {
  const size_t size = packet.size();
  if (size < 7 || packet[0] != 3 || std::memcmp(packet.data() + 1, "vorbis", 6) != 0) return false;
  size_t pos = 7;
  // Each length must fit in what is left; every step moves on by at least 4 bytes.
  auto skipString = [&]() {
    if (size - pos < 4) return false;
    uint32_t length = ReadLe32(packet.data() + pos);
    pos += 4;
    if (length > size - pos) return false;
    pos += length;
    return true;
  };
  if (!skipString() || size - pos < 4) return false;
  uint32_t comments = ReadLe32(packet.data() + pos);
  pos += 4;
  for (uint32_t i = 0; i < comments; ++i)
    if (!skipString()) return false;
  return pos < size && (packet[pos] & 1);  // the framing bit
}

}  // namespace

bool VorbisCommentHeaderSound(const uint8_t* data, size_t size) {
  if (!data) return false;
  std::vector<uint8_t> packet;
  int packetsDone = 0;
  uint32_t streamSerial = 0;
  size_t pos = 0;
  while (size - pos >= 27) {
    const uint8_t* page = data + pos;
    if (std::memcmp(page, "OggS", 4) != 0) return false;
    const size_t segments = page[26];
    if (size - pos - 27 < segments) return false;
    size_t bodyBytes = 0;
    for (size_t s = 0; s < segments; ++s) bodyBytes += page[27 + s];
    const size_t body = pos + 27 + segments;
    if (size - body < bodyBytes) return false;
    const uint32_t serial = ReadLe32(page + 14);
    if (pos == 0) streamSerial = serial;
    if (serial == streamSerial) {
      size_t at = body;
      for (size_t s = 0; s < segments; ++s) {
        const size_t lace = page[27 + s];
        packet.insert(packet.end(), data + at, data + at + lace);
        at += lace;
        if (lace == 255) continue;  // the packet goes on
        if (++packetsDone == 2) return CommentPacketSound(packet);
        packet.clear();
      }
    }
    pos = body + bodyBytes;
  }
  return false;
}
