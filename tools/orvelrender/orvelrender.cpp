// orvelrender SONG OUT.wav [--seconds N] [--float] [--resampler NAME]
// Renders a song through OrvelPlayer.dll, driving it as the music disk does, and writes a WAV file.
// orvelrender --loudness SONG [--separation PERCENT] [--resampler NAME]
// Prints the song's integrated loudness (EBU R128) and sample peak, as the disk plays it.
// NAME is a value of PlayList.ini's Resampler key: the song is played as that key makes the disk play it.
// orvelrender --info SONG
// Prints what the song says of itself: "key: value" lines, and indented lines under "message:",
// "samples:", "instruments:" and "comments:". Length from the library, the rest read from the file.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <libopenmpt/libopenmpt.hpp>
#ifdef MD_HAVE_EBUR128
#include <ebur128.h>
#endif

#include "OrvelPlayer.h"
#include "common/StdioFile.h"
#include "common/LittleEndian.h"
#include "format/DiskFormat.h"
#include "player/SampleConversion.h"

namespace {

constexpr int OutputRate = 44100;
constexpr int BlockFrames = 44100;
constexpr long MaxSecondsWithoutEnd = 3600;

static_assert(sizeof ResamplerNames / sizeof *ResamplerNames == OrvelResamplerSinc,
              "the Resampler values name the library's codes in order");

struct TEndListener : IPlayerListener {
  int ends = 0;
  void Notify(int event, int) override {
    if (event == OrvelEventSongEnded) ++ends;
  }
};

void Put16(std::string& out, uint32_t v) { out.append({char(v & 0xFF), char(v >> 8 & 0xFF)}); }
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool WriteWav(const char* path, const std::vector<float>& samples, bool asFloat) {
  const uint32_t bytesPerSample = asFloat ? 4 : 2;
  const uint32_t dataBytes = uint32_t(samples.size()) * bytesPerSample;
  std::string header = "RIFF";
  Put32(header, (asFloat ? 50 : 36) + dataBytes);
  header += "WAVEfmt ";
  Put32(header, asFloat ? 18 : 16);
  Put16(header, asFloat ? 3 : 1);
  Put16(header, 2);
  Put32(header, OutputRate);
  Put32(header, OutputRate * 2 * bytesPerSample);
  Put16(header, 2 * bytesPerSample);
  Put16(header, bytesPerSample * 8);
  if (asFloat) {
    Put16(header, 0);
    header += "fact";
    Put32(header, 4);
    Put32(header, uint32_t(samples.size() / 2));
  }
  header += "data";
  Put32(header, dataBytes);

  std::string data;
  data.reserve(dataBytes);
  for (float x : samples) {
    if (asFloat) {
      uint32_t bits;
      std::memcpy(&bits, &x, sizeof bits);
      Put32(data, bits);
    } else {
      long v = std::lround(std::max(-1.0f, std::min(1.0f, x)) * 32767.0f);
      Put16(data, uint32_t(v) & 0xFFFF);
    }
  }
  TStdioFile file(std::fopen(path, "wb"));
  return file && std::fwrite(header.data(), 1, header.size(), file.get()) == header.size() &&
         std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
}

int Usage() {
  std::fprintf(stderr, "usage: orvelrender SONG OUT.wav [--seconds N] [--float] [--resampler NAME]\n"
                       "       orvelrender --info SONG\n"
                       "       orvelrender --loudness SONG [--separation PERCENT] [--resampler NAME]\n"
                       "NAME: amiga, a500, a1200, unfiltered, none, linear, cubic or sinc\n");
  return 2;
}

// False for a name the disk does not play.
bool ReadResampler(const char* name, int& resampler) {
  resampler = ParseResampler(name);
  return resampler != OrvelResamplerDefault;
}

struct TSongInfo {
  std::string format;
  std::string title;
  std::string artist;
  std::string tracker;
  std::vector<std::string> message;
  std::vector<std::string> samples;
  std::vector<std::string> instruments;
  std::vector<std::string> comments;  // "NAME=value"
};

// Text that is not UTF-8 is taken as Latin-1; control characters become spaces.
std::string AsUtf8(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    const uint8_t c = uint8_t(bytes[i]);
    const size_t more = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    bool valid = more > 0;
    for (size_t k = 1; valid && k <= more; ++k) valid = i + k < bytes.size() && (uint8_t(bytes[i + k]) & 0xC0) == 0x80;
    if (valid) {
      out.append(bytes, i, more + 1);
      i += more + 1;
    } else if (c >= 0x80) {
      out.push_back(char(0xC0 | c >> 6));
      out.push_back(char(0x80 | (c & 0x3F)));
      ++i;
    } else {
      out.push_back(c < 0x20 || c == 0x7F ? ' ' : char(c));
      ++i;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
      lines.push_back(AsUtf8(line));
      line.clear();
      if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
    } else {
      line.push_back(text[i]);
    }
  }
  return lines;
}

// Leading and trailing blank lines go; blank lines between stay, as musicians space their words.
std::vector<std::string> Trimmed(std::vector<std::string> lines) {
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  size_t first = 0;
  while (first < lines.size() && lines[first].empty()) ++first;
  lines.erase(lines.begin(), lines.begin() + std::ptrdiff_t(first));
  return lines;
}

std::vector<std::string> CleanNames(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const std::string& n : names) out.push_back(AsUtf8(n));
  return Trimmed(out);
}

bool SameText(std::string a, std::string b) {
  std::transform(a.begin(), a.end(), a.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  std::transform(b.begin(), b.end(), b.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return a == b;
}

std::string Channels(unsigned count) {
  return count == 1 ? "mono" : count == 2 ? "stereo" : std::to_string(count) + " channels";
}

void ReadModule(const std::vector<uint8_t>& bytes, TSongInfo& info) {
  std::ostringstream quiet;
  openmpt::module module(bytes, quiet);
  info.format = module.get_metadata("type_long") + " (" + module.get_metadata("type") + ")";
  info.title = AsUtf8(module.get_metadata("title"));
  info.artist = AsUtf8(module.get_metadata("artist"));
  info.message = Trimmed(SplitLines(module.get_metadata("message_raw")));
  info.samples = CleanNames(module.get_sample_names());
  info.instruments = CleanNames(module.get_instrument_names());
  info.tracker = AsUtf8(module.get_metadata("tracker"));
}

// The INFO list's items (INAM the title); every chunk's size is checked against the file.
void ReadWav(const std::vector<uint8_t>& bytes, TSongInfo& info) {
  const uint8_t* p = bytes.data();
  const size_t n = bytes.size();
  info.format = "WAV";
  for (size_t at = 12; at + 8 <= n;) {
    const uint32_t size = ReadLe32(p + at + 4);
    if (size > n - at - 8) break;
    const std::string id(reinterpret_cast<const char*>(p + at), 4);
    const uint8_t* body = p + at + 8;
    if (id == "fmt " && size >= 16) {
      info.format = "WAV, " + std::to_string(ReadLe32(body + 4)) + " Hz, " + std::to_string(ReadLe16(body + 14)) +
                    "-bit " + (ReadLe16(body) == 3 ? "float" : "PCM") + ", " + Channels(ReadLe16(body + 2));
    } else if (id == "LIST" && size >= 4 && std::memcmp(body, "INFO", 4) == 0) {
      for (size_t item = 4; item + 8 <= size;) {
        const uint32_t length = ReadLe32(body + item + 4);
        if (length > size - item - 8) break;
        const std::string name(reinterpret_cast<const char*>(body + item), 4);
        std::string value(reinterpret_cast<const char*>(body + item + 8), length);
        value = AsUtf8(value.substr(0, value.find('\0')));
        if (name == "INAM" && info.title.empty()) info.title = value;
        if (name == "IART" && info.artist.empty()) info.artist = value;
        if (!value.empty()) info.comments.push_back(name + "=" + value);
        item += 8 + length + (length & 1);
      }
    }
    at += 8 + size + (size & 1);
  }
}

// The identification and comment headers, the stream's first two packets.
void ReadVorbis(const std::vector<uint8_t>& bytes, TSongInfo& info) {
  std::vector<std::string> packets(1);
  const uint8_t* p = bytes.data();
  const size_t n = bytes.size();
  for (size_t at = 0; at + 27 <= n && packets.size() <= 2 && std::memcmp(p + at, "OggS", 4) == 0;) {
    const size_t segments = p[at + 26];
    if (at + 27 + segments > n) break;
    size_t data = at + 27 + segments;
    for (size_t s = 0; s < segments && packets.size() <= 2; ++s) {
      const size_t lace = p[at + 27 + s];
      if (data + lace > n) return;
      packets.back().append(reinterpret_cast<const char*>(p + data), lace);
      data += lace;
      if (lace < 255) packets.emplace_back();
    }
    at = data;
  }
  const std::string& id = packets[0];
  info.format = "Ogg Vorbis";
  if (id.size() >= 16 && id.compare(0, 7, "\x01vorbis") == 0) {
    const uint8_t* h = reinterpret_cast<const uint8_t*>(id.data());
    info.format += ", " + std::to_string(ReadLe32(h + 12)) + " Hz, " + Channels(h[11]);
  }
  if (packets.size() < 2 || packets[1].compare(0, 7, "\x03vorbis") != 0) return;
  const std::string& c = packets[1];
  const uint8_t* h = reinterpret_cast<const uint8_t*>(c.data());
  size_t at = 7;
  const auto fits = [&](size_t k) { return k <= c.size() && at <= c.size() - k; };
  if (!fits(4) || !fits(4 + size_t(ReadLe32(h + at)))) return;
  at += 4 + ReadLe32(h + at);
  if (!fits(4)) return;
  uint32_t count = ReadLe32(h + at);
  at += 4;
  for (; count > 0 && fits(4); --count) {
    const uint32_t length = ReadLe32(h + at);
    at += 4;
    if (!fits(length)) return;
    const std::string comment = AsUtf8(c.substr(at, length));
    at += length;
    const size_t eq = comment.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = comment.substr(0, eq);
    if (SameText(name, "TITLE") && info.title.empty()) info.title = comment.substr(eq + 1);
    if (SameText(name, "ARTIST") && info.artist.empty()) info.artist = comment.substr(eq + 1);
    info.comments.push_back(comment);
  }
}

void PrintBlock(const char* name, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  std::printf("%s:\n", name);
  for (const std::string& line : lines) std::printf("  %s\n", line.c_str());
}

int Info(const char* song) {
  IOrvelPlayer* player = IOrvelPlayer::GetOrvelPlayer();
  TPlayerSettings settings = {4, 0, OutputRate, 0};
  if (player->Init(&settings) != 0) {
    std::fprintf(stderr, "orvelrender: the player library did not start\n");
    return 1;
  }
  // The library vets the file before anything else reads it.
  const TSongHandle handle = player->LoadSong(song);
  const int32_t frames = handle ? player->GetSongLength(handle) : -1;
  player->Shutdown();
  std::vector<uint8_t> bytes;
  if (handle) {
    TStdioFile file(std::fopen(song, "rb"));
    uint8_t block[65536];
    size_t got;
    while (file && (got = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.insert(bytes.end(), block, block + got);
  }
  if (bytes.empty()) {
    std::fprintf(stderr, "orvelrender: %s is not a song the player can load\n", song);
    return 1;
  }
  TSongInfo info;
  try {
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 && std::memcmp(bytes.data() + 8, "WAVE", 4) == 0)
      ReadWav(bytes, info);
    else if (std::memcmp(bytes.data(), "OggS", 4) == 0)
      ReadVorbis(bytes, info);
    else
      ReadModule(bytes, info);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvelrender: %s: %s\n", song, e.what());
    return 1;
  }
  std::printf("format: %s\n", info.format.c_str());
  std::printf("title: %s\n", info.title.c_str());
  if (!info.artist.empty()) std::printf("artist: %s\n", info.artist.c_str());
  if (!info.tracker.empty()) std::printf("tracker: %s\n", info.tracker.c_str());
  std::printf("length: %.2f s\n", double(frames) / OutputRate);
  PrintBlock("message", info.message);
  PrintBlock("samples", info.samples);
  PrintBlock("instruments", info.instruments);
  PrintBlock("comments", info.comments);
  return 0;
}

// Renders the song as the disk plays it, handing each block of frames to `take` as they come.
// The song's length in frames once its end was told, -1 when it ran past `limit` frames, -2 when
// it cannot be played.
template <class TTake>
long RenderSong(const char* song, int resampler, size_t limit, TTake take) {
  IOrvelPlayer* player = IOrvelPlayer::GetOrvelPlayer();
  TPlayerSettings settings = {4, 0, OutputRate, 0};
  if (player->Init(&settings) != 0) {
    std::fprintf(stderr, "orvelrender: the player library did not start\n");
    return -2;
  }
  TEndListener listener;
  player->SetListener(&listener);
  TSongHandle handle = player->LoadSongResampled(song, resampler);
  if (handle == 0) {
    std::fprintf(stderr, "orvelrender: %s is not a song the player can load\n", song);
    player->Shutdown();
    return -2;
  }
  player->SelectSong(handle);
  player->SetPosition(0);
  player->SetState(OrvelStatePlay);

  // The end is told by the render after the one that played the song's last frames, so each
  // block is held back one render, to be cut where the song ended.
  std::vector<float> block(2 * BlockFrames), held(2 * BlockFrames);
  size_t done = 0, heldFrames = 0;
  long songFrames = -1;
  auto handOn = [&](const std::vector<float>& frames, size_t count) {
    take(frames.data(), count);
    done += count;
  };
  while (songFrames < 0 && done + heldFrames < limit) {
    player->Render(block.data(), BlockFrames);
    const size_t frames = std::min(size_t(BlockFrames), limit - done - heldFrames);
    if (listener.ends) {
      songFrames = long(player->GetPosition());
      const size_t left = size_t(std::max(0L, songFrames - long(done)));
      handOn(held, std::min(heldFrames, left));
      handOn(block, std::min(frames, left - std::min(heldFrames, left)));
      heldFrames = 0;
    } else {
      handOn(held, heldFrames);
      std::swap(held, block);
      heldFrames = frames;
    }
  }
  handOn(held, heldFrames);
  player->FreeSong(handle);
  player->Shutdown();
  return songFrames;
}

#ifdef MD_HAVE_EBUR128
// Integrated loudness and sample peak of the whole song, as the disk plays it at the given stereo
// width: narrowing a hard-panned song makes it quieter.
int Loudness(const char* song, float separation, int resampler) {
  std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> meter(
      ebur128_init(2, OutputRate, EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK),
      [](ebur128_state* state) { ebur128_destroy(&state); });
  if (!meter) return 1;
  const TMix mix = MixFor(0.0f, separation, 100);
  std::vector<float> mixed;
  const long frames =
      RenderSong(song, resampler, size_t(MaxSecondsWithoutEnd) * OutputRate, [&](const float* block, size_t n) {
    mixed.assign(block, block + 2 * n);
    if (!mix.IsNeutral())
      for (size_t i = 0; i < 2 * n; ++i) mixed[i] = MixSample(block[i], block[i ^ 1], mix);
    ebur128_add_frames_float(meter.get(), mixed.data(), n);
  });
  if (frames == -2) return 1;
  double loudness = 0, left = 0, right = 0;
  ebur128_loudness_global(meter.get(), &loudness);
  ebur128_sample_peak(meter.get(), 0, &left);
  ebur128_sample_peak(meter.get(), 1, &right);
  const double peak = std::max(left, right);
  // Silence has no loudness: -inf, as the meter gives it.
  std::printf("loudness: %.2f LUFS\n", loudness);
  std::printf("peak: %.2f dBFS\n", peak > 0 ? 20 * std::log10(peak) : -HUGE_VAL);
  return 0;
}
#else
int Loudness(const char*, float, int) {
  std::fprintf(stderr, "orvelrender: this build measures no loudness; the native one does\n");
  return 1;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--info") == 0) return argc == 3 ? Info(argv[2]) : Usage();
  if (argc >= 2 && std::strcmp(argv[1], "--loudness") == 0) {
    float separation = 100.0f;
    int resampler = OrvelResamplerDefault;
    for (int i = 3; i < argc; i += 2) {
      const bool read =
          i + 1 < argc &&
          ((std::strcmp(argv[i], "--separation") == 0 && ParseLevel(argv[i + 1], SeparationKey, separation)) ||
           (std::strcmp(argv[i], "--resampler") == 0 && ReadResampler(argv[i + 1], resampler)));
      if (!read) return Usage();
    }
    return argc >= 3 ? Loudness(argv[2], separation, resampler) : Usage();
  }
  const char* song = nullptr;
  const char* out = nullptr;
  long maxSeconds = 0;
  bool asFloat = false;
  int resampler = OrvelResamplerDefault;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--float") == 0) {
      asFloat = true;
    } else if (std::strcmp(argv[i], "--resampler") == 0 && i + 1 < argc) {
      if (!ReadResampler(argv[++i], resampler)) return Usage();
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      char* end = nullptr;
      maxSeconds = std::strtol(argv[++i], &end, 10);
      if (*end || maxSeconds <= 0 || maxSeconds > MaxSecondsWithoutEnd) return Usage();
    } else if (!song) {
      song = argv[i];
    } else if (!out) {
      out = argv[i];
    } else {
      return Usage();
    }
  }
  if (!song || !out) return Usage();

  const size_t limit = size_t(maxSeconds ? maxSeconds : MaxSecondsWithoutEnd) * OutputRate;
  std::vector<float> samples;
  const long songFrames = RenderSong(song, resampler, limit, [&](const float* block, size_t frames) {
    samples.insert(samples.end(), block, block + 2 * frames);
  });
  if (songFrames == -2) return 1;
  if (songFrames >= 0)
    std::printf("%s: %.2f s (%ld frames)\n", song, double(songFrames) / OutputRate, songFrames);
  else
    std::printf("%s: longer than %.2f s\n", song, double(samples.size() / 2) / OutputRate);
  if (!WriteWav(out, samples, asFloat)) {
    std::fprintf(stderr, "orvelrender: cannot write %s\n", out);
    return 1;
  }
  return 0;
}
