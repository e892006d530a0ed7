#include "audio/HeardRecord.h"

#include <algorithm>

namespace {
const uint32_t FrameBits = 18;  // up to 262,143 frames a half: six seconds at 44,100 Hz
const uint32_t CopyBits = 3;
const int ReadAttempts = 4;
}  // namespace

THeardRecord::THeardRecord(uint32_t halfFrames)
    : halfFrames(std::min(halfFrames, (1u << FrameBits) - 1)),
      copies(new std::atomic<int16_t>[size_t(CopyCount) * this->halfFrames * 2]) {
  for (size_t i = 0; i < size_t(CopyCount) * this->halfFrames * 2; ++i) copies[i].store(0, std::memory_order_relaxed);
  for (int half = 0; half < 2; ++half) {
    current[half] = 0;
    previous[half] = 0;
    refills[half] = 0;
    seekFrom[half] = this->halfFrames;
    seekTag[half] = 0;
  }
}

uint64_t THeardRecord::Pack(uint32_t copy, THalfTag tag) {
  const uint64_t frames = std::min<uint64_t>(tag.songFrames, (1u << FrameBits) - 1);
  return uint64_t(tag.songFrame) | frames << 32 | uint64_t(copy & 7) << (32 + FrameBits) |
         uint64_t(tag.song ? 1 : 0) << (32 + FrameBits + CopyBits);
}

THalfTag THeardRecord::TagOf(uint64_t packed) {
  THalfTag tag;
  tag.songFrame = uint32_t(packed);
  tag.songFrames = uint32_t(packed >> 32) & ((1u << FrameBits) - 1);
  tag.song = (packed >> (32 + FrameBits + CopyBits)) & 1;
  return tag;
}

uint32_t THeardRecord::CopyOf(uint64_t packed) { return uint32_t(packed >> (32 + FrameBits)) & 7; }

uint32_t THeardRecord::FreeCopy(uint32_t taken) const {
  for (uint32_t copy = 1;; ++copy) {
    bool named = copy == taken;
    for (int half = 0; half < 2; ++half)
      named = named || CopyOf(current[half]) == copy || CopyOf(previous[half]) == copy;
    if (!named) return copy;
  }
}

std::atomic<int16_t>* THeardRecord::CopyAt(uint32_t copy, uint32_t frame) const {
  return &copies[(size_t(copy - 1) * halfFrames + frame) * 2];
}

void THeardRecord::Clear() {
  changes.fetch_add(1);
  for (int half = 0; half < 2; ++half) {
    current[half] = 0;
    previous[half] = 0;
    refills[half] = 0;
    seekFrom[half] = halfFrames;
  }
  changes.fetch_add(1);
}

void THeardRecord::Remember(int half, const int16_t* pcm, THalfTag tag) {
  if (half < 0 || half > 1) return;
  const uint32_t copy = FreeCopy();
  ++refillCount;
  changes.fetch_add(1);
  std::atomic<int16_t>* to = CopyAt(copy, 0);
  for (size_t i = 0; i < size_t(halfFrames) * 2; ++i) to[i].store(pcm ? pcm[i] : 0, std::memory_order_relaxed);
  previous[half] = current[half].load();
  current[half] = Pack(copy, tag);
  refills[half] = refillCount;
  seekFrom[half] = halfFrames;
  changes.fetch_add(1);
}

// In place: the versions behind the cursor stay as they were heard, and the refills' order with them.
void THeardRecord::Rewrite(uint32_t from, const int16_t* pcm, uint32_t frames, THalfTag tag) {
  frames = std::min(frames, 2 * halfFrames);
  changes.fetch_add(1);
  uint32_t taken = 0;
  for (uint32_t done = 0; done < frames;) {
    const uint32_t at = (from + done) % (2 * halfFrames);
    const int half = at >= halfFrames ? 1 : 0;
    const uint32_t begin = at - uint32_t(half) * halfFrames;
    const uint32_t count = std::min(frames - done, halfFrames - begin);
    const uint32_t copy = FreeCopy(taken);
    const uint64_t before = current[half];
    std::atomic<int16_t>* to = CopyAt(copy, 0);
    for (uint32_t f = 0; f < halfFrames; ++f) {
      const bool fresh = f >= begin && f < begin + count;
      for (int c = 0; c < 2; ++c) {
        const int16_t old = CopyOf(before) ? CopyAt(CopyOf(before), f)[c].load(std::memory_order_relaxed) : 0;
        to[f * 2 + c].store(fresh ? pcm[size_t(done + f - begin) * 2 + c] : old, std::memory_order_relaxed);
      }
    }
    THalfTag part = tag;
    part.songFrame = tag.songFrame + done;
    part.songFrames = tag.songFrames > done ? std::min(tag.songFrames - done, count) : 0;
    if (begin == 0) {
      current[half] = Pack(copy, part);
      seekFrom[half] = halfFrames;
    } else {
      current[half] = Pack(copy, TagOf(before));
      seekTag[half] = Pack(0, part);
      seekFrom[half] = begin;
    }
    taken = copy;
    done += count;
  }
  changes.fetch_add(1);
}

void THeardRecord::CopyFrames(uint64_t version, uint32_t from, int16_t* out, uint32_t frames) const {
  const uint32_t copy = CopyOf(version);
  if (copy == 0) {
    std::fill(out, out + size_t(frames) * 2, int16_t(0));
    return;
  }
  const std::atomic<int16_t>* in = CopyAt(copy, from);
  for (size_t i = 0; i < size_t(frames) * 2; ++i) out[i] = in[i].load(std::memory_order_relaxed);
}

bool THeardRecord::ReadOnce(uint32_t cursorFrame, int16_t* out, uint32_t frames, TAtCursor& at) const {
  const uint32_t before = changes.load();
  if (before & 1) return false;
  const int half = cursorFrame >= halfFrames ? 1 : 0;
  const int other = 1 - half;
  const uint32_t inHalf = cursorFrame - uint32_t(half) * halfFrames;
  const uint64_t here = current[half];
  // Refilled since this half was: what was heard there is the version before.
  const uint64_t behind = refills[other] > refills[half] ? previous[other].load() : current[other].load();
  const uint32_t seekAt = seekFrom[half];
  at.tag = TagOf(inHalf >= seekAt ? seekTag[half].load() : here);
  at.frameInHalf = inHalf >= seekAt ? inHalf - seekAt : inHalf;
  if (out) {
    const uint32_t fromHere = std::min(frames, inHalf);
    const uint32_t fromBehind = frames - fromHere;
    CopyFrames(behind, halfFrames - fromBehind, out, fromBehind);
    CopyFrames(here, inHalf - fromHere, out + size_t(fromBehind) * 2, fromHere);
  }
  // A read-modify-write: the copies above cannot be moved past it.
  return changes.fetch_add(0, std::memory_order_acq_rel) == before;
}

THeardRecord::TAtCursor THeardRecord::Read(uint32_t cursorFrame, int16_t* out, uint32_t frames) const {
  TAtCursor at;
  if (halfFrames == 0) return at;
  cursorFrame %= 2 * halfFrames;
  frames = std::min(frames, halfFrames);
  for (int attempt = 0; attempt < ReadAttempts; ++attempt) {
    if (ReadOnce(cursorFrame, out, frames, at)) return at;
  }
  if (out) std::fill(out, out + size_t(frames) * 2, int16_t(0));
  TAtCursor unsettled;
  unsettled.settled = false;
  return unsettled;
}
