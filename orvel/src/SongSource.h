// A loaded song as a stream of interleaved float stereo frames at the output rate.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct TRenderSettings {
  int sampleRate = 44100;
  int interpolation = 4;
  // libopenmpt's Amiga emulation type for Amiga modules; null for none.
  const char* amigaType = nullptr;
};

// The settings with a song's own OrvelResampler code applied; unknown codes change nothing.
TRenderSettings WithResampler(TRenderSettings settings, int resampler);

class TSongSource {
 public:
  virtual ~TSongSource() = default;
  // Writes up to frames frames; fewer only when the song has run out.
  virtual size_t Read(float* out, size_t frames) = 0;
  // True once a Read came up short: nothing more will come until Rewind.
  virtual bool AtEnd() const = 0;
  virtual void Rewind() = 0;
  // Moves to a frame at the output rate and returns where it landed. At or past the end the song
  // ends, as if it had played out.
  virtual int64_t Seek(int64_t frame) = 0;
  // For a song whose rewind is slow (a module is parsed anew): the same song from its start, built
  // apart from this one, so that another thread may go on reading this one meanwhile.
  // Null when Rewind is quick.
  virtual std::unique_ptr<TSongSource> Restarted() const { return nullptr; }
  // Frames at the output rate: delivered so far, and the whole song (an estimate for modules).
  virtual int64_t Position() const = 0;
  virtual int64_t Length() const = 0;
};

// Null for bytes that are no song we can play.
std::unique_ptr<TSongSource> OpenSongSource(std::vector<uint8_t> bytes, const TRenderSettings& settings);
