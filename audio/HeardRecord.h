// What each half of the stream's buffer holds, kept beside it so that the window thread can read
// what is heard at the play cursor. No Windows here: tested natively too.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

// What a refill put into a half: the song frame its first frame is, and how many of its frames
// are the song's (the rest is the silence after the song's end). Not a song: silence only.
struct THalfTag {
  bool song = false;
  uint32_t songFrame = 0;
  uint32_t songFrames = 0;
};

// The worker remembers each refill, and each seek's rewrite of what lies ahead; the window thread
// reads at a cursor. Every write goes to a copy that no reader needs, so that the frames just
// behind the cursor, in the half refilled as the cursor left it, are still the ones that were
// heard. Everything shared is atomic: a read that meets a write under way is read again, and one
// that keeps meeting them gives silence, marked unsettled.
class THeardRecord {
public:
  explicit THeardRecord(uint32_t halfFrames);
  THeardRecord(const THeardRecord&) = delete;
  THeardRecord& operator=(const THeardRecord&) = delete;

  // Both halves hold nothing of a song: the cleared buffer. Only while nothing refills.
  void Clear();
  // The worker, after a refill of `half` with these interleaved stereo frames.
  void Remember(int half, const int16_t* pcm, THalfTag tag);
  // The worker, after a seek replaced `frames` frames from buffer frame `from` on (at most up to
  // the end of the next half): from there the halves hold the tag's sound, not yet heard.
  void Rewrite(uint32_t from, const int16_t* pcm, uint32_t frames, THalfTag tag);

  struct TAtCursor {
    THalfTag tag;           // of the part of the half the cursor is in
    uint32_t frameInHalf = 0;  // counted from that part's first frame
    bool settled = true;  // false: every attempt met a write, and nothing was read
  };
  // The `frames` frames that end at cursorFrame (at most a half) into out, when given: silence
  // where the buffer held nothing remembered.
  TAtCursor Read(uint32_t cursorFrame, int16_t* out, uint32_t frames) const;

private:
  // One half's version: which copy holds it (0: none), and its tag.
  static uint64_t Pack(uint32_t copy, THalfTag tag);
  static THalfTag TagOf(uint64_t packed);
  static uint32_t CopyOf(uint64_t packed);
  // A copy that no version names, nor `taken`.
  uint32_t FreeCopy(uint32_t taken = 0) const;
  std::atomic<int16_t>* CopyAt(uint32_t copy, uint32_t frame) const;
  bool ReadOnce(uint32_t cursorFrame, int16_t* out, uint32_t frames, TAtCursor& at) const;
  void CopyFrames(uint64_t version, uint32_t from, int16_t* out, uint32_t frames) const;

  // Each half's two versions, the seek's part of each, and one being written.
  static const uint32_t CopyCount = 6;
  const uint32_t halfFrames;
  std::unique_ptr<std::atomic<int16_t>[]> copies;
  std::atomic<uint64_t> current[2];
  std::atomic<uint64_t> previous[2];
  std::atomic<uint32_t> refills[2];  // the refill count when each half was last refilled
  // From seekFrom on (halfFrames: nowhere), a half holds a seek's sound, of the seekTag.
  std::atomic<uint32_t> seekFrom[2];
  std::atomic<uint64_t> seekTag[2];
  mutable std::atomic<uint32_t> changes{0};  // odd while a write is being remembered
  uint32_t refillCount = 0;          // the worker's own
};
