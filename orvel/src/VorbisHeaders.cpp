#include "VorbisHeaders.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "common/LittleEndian.h"

namespace {

// Summed over a stream's codebooks. A libvorbis stream comes to about 12,000 entries and 60,000
// multiplicands, twenty times below these; a forged one with millions holds the decoder's set-up
// for seconds.
constexpr uint64_t MaxCodebookEntries = uint64_t(1) << 18;
constexpr uint64_t MaxCodebookMultiplicands = uint64_t(1) << 21;

using TPacket = std::vector<uint8_t>;

// The first three packets of the first logical stream, the last one as far as the pages go.
// Gathering stops at the first page that is not whole.
std::vector<TPacket> HeaderPackets(const uint8_t* data, size_t size) {
  std::vector<TPacket> packets(1);
  uint32_t streamSerial = 0;
  size_t pos = 0;
  while (size - pos >= 27) {
    const uint8_t* page = data + pos;
    if (std::memcmp(page, "OggS", 4) != 0) break;
    const size_t segments = page[26];
    if (size - pos - 27 < segments) break;
    size_t bodyBytes = 0;
    for (size_t s = 0; s < segments; ++s) bodyBytes += page[27 + s];
    const size_t body = pos + 27 + segments;
    if (size - body < bodyBytes) break;
    const uint32_t serial = ReadLe32(page + 14);
    if (pos == 0) streamSerial = serial;
    if (serial == streamSerial) {
      size_t at = body;
      for (size_t s = 0; s < segments; ++s) {
        const size_t lace = page[27 + s];
        packets.back().insert(packets.back().end(), data + at, data + at + lace);
        at += lace;
        if (lace == 255) continue;  // the packet goes on
        if (packets.size() == 3) return packets;
        packets.emplace_back();
      }
    }
    pos = body + bodyBytes;
  }
  return packets;
}

bool IsHeader(const TPacket& packet, uint8_t type) {
  return packet.size() >= 7 && packet[0] == type && std::memcmp(packet.data() + 1, "vorbis", 6) == 0;
}

bool CommentPacketSound(const TPacket& packet) {
  if (!IsHeader(packet, 3)) return false;
  const size_t size = packet.size();
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

// Reads least significant bit first, as the decoder does, and zeros past the end, as it does.
class TBitReader {
 public:
  TBitReader(const TPacket& bytes, size_t startByte) : bytes(bytes), bit(uint64_t(startByte) * 8) {}
  uint32_t Get(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++bit)
      if (bit / 8 < bytes.size()) value |= uint32_t(bytes[bit / 8] >> (bit % 8) & 1) << i;
    return value;
  }
  void Skip(uint64_t count) { bit += count; }

 private:
  const TPacket& bytes;
  uint64_t bit;
};

int BitsFor(uint32_t value) {
  int bits = 0;
  for (; value != 0; value >>= 1) ++bits;
  return bits;
}

// The largest r with r to the power `dimensions` at most `entries`.
uint64_t Lookup1Values(uint32_t entries, uint32_t dimensions) {
  auto power = [&](uint64_t r) {
    if (r <= 1) return r;
    uint64_t p = 1;
    for (uint32_t i = 0; i < dimensions && p <= entries; ++i) p *= r;
    return p;
  };
  uint64_t r = uint64_t(std::pow(double(entries), 1.0 / dimensions));
  while (r > 0 && power(r) > entries) --r;
  while (power(r + 1) <= entries) ++r;
  return r;
}

// Walks the codebooks as the decoder will read them. Where the decoder would give up, so does the
// walk, and the stream is left for the decoder to turn away.
bool CodebooksWithinLimits(const TPacket& setup) {
  if (!IsHeader(setup, 5)) return true;
  TBitReader bits(setup, 7);
  const uint32_t books = bits.Get(8) + 1;
  uint64_t entriesSoFar = 0, multiplicandsSoFar = 0;
  for (uint32_t book = 0; book < books; ++book) {
    if (bits.Get(24) != 0x564342) return true;
    const uint32_t dimensions = bits.Get(16);
    const uint32_t entries = bits.Get(24);
    entriesSoFar += entries;
    if (entriesSoFar > MaxCodebookEntries) return false;
    if (dimensions == 0 && entries != 0) return true;
    if (bits.Get(1)) {  // lengths in runs
      uint32_t entry = 0;
      for (uint32_t length = bits.Get(5) + 1; entry < entries; ++length) {
        const uint32_t run = bits.Get(BitsFor(entries - entry));
        if (length >= 32 || run > entries - entry) return true;
        entry += run;
      }
    } else {
      const bool sparse = bits.Get(1);
      for (uint32_t entry = 0; entry < entries; ++entry)
        if (!sparse || bits.Get(1))
          if (bits.Get(5) == 31) return true;
    }
    const uint32_t lookupType = bits.Get(4);
    if (lookupType > 2) return true;
    if (lookupType == 0) continue;
    bits.Skip(64);
    const uint32_t valueBits = bits.Get(4) + 1;
    bits.Skip(1);
    multiplicandsSoFar += uint64_t(entries) * dimensions;
    if (multiplicandsSoFar > MaxCodebookMultiplicands) return false;
    const uint64_t values = lookupType == 1 ? Lookup1Values(entries, dimensions) : uint64_t(entries) * dimensions;
    if (values == 0) return true;
    bits.Skip(values * valueBits);
  }
  return true;
}

}  // namespace

bool VorbisHeadersSound(const uint8_t* data, size_t size) {
  if (!data) return false;
  const std::vector<TPacket> packets = HeaderPackets(data, size);
  return packets.size() >= 3 && CommentPacketSound(packets[1]) && CodebooksWithinLimits(packets[2]);
}
