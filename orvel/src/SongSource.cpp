#include "SongSource.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <numeric>
#include <ostream>
#include <string>

#include <libopenmpt/libopenmpt.hpp>
#include <soxr.h>

#include "ModuleIntegrity.h"
#include "OrvelPlayer.h"
#include "SongFormat.h"
#include "VorbisHeaders.h"
#include "VorbisMemory.h"
#include "WavReader.h"

#define STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_NO_PUSHDATA_API
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>

namespace {

constexpr size_t ChunkFrames = 4096;

// libopenmpt drops a sample whose memory it cannot get and plays on without it. This new-handler
// notes the failure for the thread, then fails the allocation just as the default would, so that
// a module that lost part of itself is refused. The library's runtime has no other handler.
thread_local bool allocationFailed = false;

void NoteAllocationFailure() {
  allocationFailed = true;
  throw std::bad_alloc();
}

class TAllocationWatch {
 public:
  TAllocationWatch() {
    static const std::new_handler installed = std::set_new_handler(NoteAllocationFailure);
    (void)installed;
    allocationFailed = false;
  }
  bool Failed() const { return allocationFailed; }
};

// Decoded frames at the song's own rate, before resampling.
class TFrameReader {
 public:
  virtual ~TFrameReader() = default;
  virtual size_t Read(float* stereo, size_t frames) = 0;
  // False when the decoder cannot get there.
  virtual bool Seek(size_t frame) = 0;
};

class TWavFrameReader : public TFrameReader {
 public:
  TWavFrameReader(std::vector<uint8_t> bytes, const TWavInfo& info) : bytes(std::move(bytes)), info(info) {}
  size_t Read(float* stereo, size_t frames) override {
    TWavInfo part = info;
    part.frameCount = std::min(frames, info.frameCount - position);
    part.frames = info.frames + position * size_t(info.channels) * size_t(info.bitsPerSample / 8);
    DecodeWavFrames(part, stereo);
    position += part.frameCount;
    return part.frameCount;
  }
  bool Seek(size_t frame) override {
    position = std::min(frame, info.frameCount);
    return true;
  }

 private:
  std::vector<uint8_t> bytes;  // info points into these
  TWavInfo info;
  size_t position = 0;
};

class TVorbisFrameReader : public TFrameReader {
 public:
  explicit TVorbisFrameReader(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
  ~TVorbisFrameReader() override {
    if (decoder) stb_vorbis_close(decoder);
  }
  TVorbisFrameReader(const TVorbisFrameReader&) = delete;
  TVorbisFrameReader& operator=(const TVorbisFrameReader&) = delete;

  bool Open() {
    if (bytes.size() > size_t(INT32_MAX) || !VorbisHeadersSound(bytes.data(), bytes.size())) return false;
    TVorbisAllocationScope allocations;
    decoder = OrvelVorbisOpen(bytes.data(), int(bytes.size()));
    if (!decoder) return false;
    allocations.Keep();
    stb_vorbis_info info = stb_vorbis_get_info(decoder);
    channels = info.channels;
    sampleRate = int(info.sample_rate);
    lengthFrames = stb_vorbis_stream_length_in_samples(decoder);
    return (channels == 1 || channels == 2) && sampleRate >= 1000 && sampleRate <= 768000;
  }

  size_t Read(float* stereo, size_t frames) override {
    const int count = int(std::min(frames, ChunkFrames));  // callers read on until it runs dry
    int got = stb_vorbis_get_samples_float_interleaved(decoder, channels, stereo, count * channels);
    if (got <= 0) return 0;
    if (channels == 1) {
      for (int i = got - 1; i >= 0; --i) stereo[2 * i] = stereo[2 * i + 1] = stereo[i];
    }
    return size_t(got);
  }
  bool Seek(size_t frame) override {
    return (frame == 0 ? stb_vorbis_seek_start(decoder) : stb_vorbis_seek(decoder, unsigned(frame))) != 0;
  }

  int channels = 0, sampleRate = 0;
  int64_t lengthFrames = 0;

 private:
  std::vector<uint8_t> bytes;  // the decoder reads from these
  stb_vorbis* decoder = nullptr;
};

// Position and end bookkeeping that every source keeps alike.
class TCountingSource : public TSongSource {
 public:
  bool AtEnd() const override { return ended; }
  int64_t Position() const override { return position; }
  int64_t Length() const override { return length; }

 protected:
  // A seek at or past the end ends the song where it would have ended.
  bool EndsBefore(int64_t frame) {
    if (frame < length) return false;
    position = length;
    ended = true;
    return true;
  }
  int64_t position = 0, length = 0;
  bool ended = false;
};

struct TSoxrDeleter {
  void operator()(soxr* resampler) const { soxr_delete(resampler); }
};

// Frames of a decoded song, resampled to the output rate by libsoxr when the rates differ.
class TPcmSource : public TCountingSource {
 public:
  TPcmSource(std::unique_ptr<TFrameReader> reader, int sourceRate, int outputRate, int64_t sourceFrames)
      : reader(std::move(reader)), sourceRate(sourceRate), outputRate(outputRate) {
    length = int64_t(std::llround(double(sourceFrames) * outputRate / sourceRate));
    Rewind();
  }
  bool Valid() const { return sourceRate == outputRate || resampler; }

  size_t Read(float* out, size_t frames) override {
    size_t written = 0;
    if (sourceRate == outputRate) {
      while (written < frames && !ended) {
        size_t got = reader->Read(out + 2 * written, frames - written);
        written += got;
        if (got == 0) ended = true;
      }
    } else {
      while (written < frames && !ended && resampler) written += Resample(out + 2 * written, frames - written);
    }
    position += int64_t(written);
    return written;
  }

  void Rewind() override { StartAt(0); }

  int64_t Seek(int64_t frame) override {
    if (EndsBefore(frame)) return position;
    if (sourceRate == outputRate) {
      StartAt(frame);
      return position;
    }
    // The resampler starts afresh where a source frame falls on an output frame, far enough back
    // for its filter to fill, and what it gives before the frame asked for is thrown away.
    const int64_t step = outputRate / std::gcd(sourceRate, outputRate);
    StartAt(std::max<int64_t>(0, frame - ResamplerSettleFrames) / step * step);
    std::vector<float> skipped(2 * ChunkFrames);
    while (position < frame && !ended) Read(skipped.data(), size_t(std::min<int64_t>(ChunkFrames, frame - position)));
    return position;
  }

 private:
  static constexpr int64_t ResamplerSettleFrames = 8192;

  // `frame` at the output rate, on a source frame.
  void StartAt(int64_t frame) {
    position = frame;
    ended = !reader->Seek(size_t(frame * sourceRate / outputRate));
    inputEnded = false;
    pendingFrames = pendingOffset = 0;
    resampler.reset();
    if (sourceRate == outputRate || ended) return;
    // A fresh resampler rather than soxr_clear: the same start gives the very same output.
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    resampler.reset(soxr_create(sourceRate, outputRate, 2, &error, &io, &quality, nullptr));
    if (error) resampler.reset();
    ended = !resampler;  // out of memory: the song ends rather than stays silent for ever
    input.resize(2 * ChunkFrames);
  }

  size_t Resample(float* out, size_t frames) {
    if (pendingFrames == 0 && !inputEnded) {
      pendingFrames = reader->Read(input.data(), ChunkFrames);
      pendingOffset = 0;
      inputEnded = pendingFrames == 0;
    }
    size_t used = 0, produced = 0;
    const float* in = inputEnded ? nullptr : input.data() + 2 * pendingOffset;
    soxr_error_t error = soxr_process(resampler.get(), in, pendingFrames, &used, out, frames, &produced);
    pendingOffset += used;
    pendingFrames -= used;
    if (error || (inputEnded && produced == 0)) ended = true;
    return produced;
  }

  std::unique_ptr<TFrameReader> reader;
  int sourceRate, outputRate;
  std::unique_ptr<soxr, TSoxrDeleter> resampler;
  std::vector<float> input;
  size_t pendingFrames = 0, pendingOffset = 0;
  bool inputEnded = false;
};

class TModuleSource : public TCountingSource {
 public:
  TModuleSource(std::shared_ptr<const std::vector<uint8_t>> bytes, const TRenderSettings& settings)
      : bytes(std::move(bytes)), settings(settings) {
    Rewind();
  }
  bool Valid() const { return module != nullptr; }

  // Reads only what never changes after opening, so it may run beside Read on another thread.
  std::unique_ptr<TSongSource> Restarted() const override {
    return std::make_unique<TModuleSource>(bytes, settings);
  }

  size_t Read(float* out, size_t frames) override {
    if (!module || ended) return 0;
    size_t written = 0;
    try {
      written = module->read_interleaved_stereo(settings.sampleRate, frames, out);
    } catch (...) {
    }
    if (written < frames) ended = true;
    position += int64_t(written);
    return written;
  }

  // A module rebuilt from its bytes: seeking to 0 would keep the mixer's and channels' state.
  void Rewind() override {
    module.reset();
    position = 0;
    ended = false;
    try {
      TAllocationWatch allocations;
      auto fresh = std::make_unique<openmpt::module>(*bytes, silentLog, InitialControls());
      fresh->set_repeat_count(0);
      fresh->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, settings.interpolation);
      length = int64_t(std::llround(fresh->get_duration_seconds() * settings.sampleRate));
      if (allocations.Failed()) throw std::bad_alloc();
      module = std::move(fresh);
    } catch (...) {
      ended = true;
    }
  }

  // libopenmpt lands on the start of a row.
  int64_t Seek(int64_t frame) override {
    if (!module || EndsBefore(frame)) return position;
    try {
      const double landed = module->set_position_seconds(double(frame) / settings.sampleRate);
      position = std::llround(landed * settings.sampleRate);
      ended = false;
    } catch (...) {
      ended = true;
    }
    return position;
  }

 private:
  // Notes that sound across a seek point go on sounding after the seek.
  std::map<std::string, std::string> InitialControls() const {
    std::map<std::string, std::string> controls = {{"seek.sync_samples", "1"}};
    if (settings.amigaType) {
      controls["render.resampler.emulate_amiga"] = "1";
      controls["render.resampler.emulate_amiga_type"] = settings.amigaType;
    }
    return controls;
  }

  const std::shared_ptr<const std::vector<uint8_t>> bytes;
  const TRenderSettings settings;
  std::ostream silentLog{nullptr};  // the module's own, as it may write from the rendering thread
  std::unique_ptr<openmpt::module> module;
};

std::unique_ptr<TSongSource> OpenWav(std::vector<uint8_t> bytes, const TRenderSettings& settings) {
  TWavInfo info;
  if (!ParseWav(bytes.data(), bytes.size(), info)) return nullptr;
  auto reader = std::make_unique<TWavFrameReader>(std::move(bytes), info);
  auto source = std::make_unique<TPcmSource>(std::move(reader), info.sampleRate, settings.sampleRate,
                                             int64_t(info.frameCount));
  if (!source->Valid()) return nullptr;
  return source;
}

std::unique_ptr<TSongSource> OpenVorbis(std::vector<uint8_t> bytes, const TRenderSettings& settings) {
  auto reader = std::make_unique<TVorbisFrameReader>(std::move(bytes));
  if (!reader->Open()) return nullptr;
  // Decode the first frames now so that a stream that breaks at once does not count as a song.
  float probe[2 * 64];
  if (reader->Read(probe, 64) == 0) return nullptr;
  const int rate = reader->sampleRate;
  const int64_t frames = reader->lengthFrames;
  auto source = std::make_unique<TPcmSource>(std::move(reader), rate, settings.sampleRate, frames);
  if (!source->Valid()) return nullptr;
  return source;
}

std::unique_ptr<TSongSource> OpenModule(std::vector<uint8_t> bytes, const TRenderSettings& settings) {
  if (!ModuleDataComplete(bytes.data(), bytes.size())) return nullptr;
  auto shared = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  auto source = std::make_unique<TModuleSource>(std::move(shared), settings);
  if (!source->Valid()) return nullptr;
  return source;
}

}  // namespace

TRenderSettings WithResampler(TRenderSettings settings, int resampler) {
  static const char* const amigaTypes[] = {"auto", "a500", "a1200", "unfiltered"};
  static const int filterLengths[] = {1, 2, 4, 8};
  if (resampler >= OrvelResamplerAmiga && resampler <= OrvelResamplerUnfiltered)
    settings.amigaType = amigaTypes[resampler - OrvelResamplerAmiga];
  else if (resampler >= OrvelResamplerNone && resampler <= OrvelResamplerSinc)
    settings.interpolation = filterLengths[resampler - OrvelResamplerNone];
  return settings;
}

std::unique_ptr<TSongSource> OpenSongSource(std::vector<uint8_t> bytes, const TRenderSettings& settings) {
  switch (DetectSongFormat(bytes.data(), bytes.size())) {
    case TSongFormat::Wav: return OpenWav(std::move(bytes), settings);
    case TSongFormat::Vorbis: return OpenVorbis(std::move(bytes), settings);
    case TSongFormat::Module: return OpenModule(std::move(bytes), settings);
    default: return nullptr;
  }
}
