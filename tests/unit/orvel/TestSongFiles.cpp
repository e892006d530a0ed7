#include "TestSongFiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

}  // namespace

int BitsOf(TWavSampleFormat format) {
  switch (format) {
    case TWavSampleFormat::Pcm8: return 8;
    case TWavSampleFormat::Pcm16: return 16;
    case TWavSampleFormat::Pcm24: return 24;
    case TWavSampleFormat::Float64: return 64;
    default: return 32;
  }
}

double StepOf(TWavSampleFormat format) {
  const double floatResolution = 1e-7;  // everything is decoded to float
  bool isFloat = format == TWavSampleFormat::Float32 || format == TWavSampleFormat::Float64;
  return isFloat ? floatResolution : std::fmax(floatResolution, std::ldexp(1.0, 1 - BitsOf(format)));
}

std::vector<uint8_t> MakeWav(TWavSampleFormat format, int channels, int rate, const std::vector<double>& interleaved) {
  const int bits = BitsOf(format);
  const bool isFloat = format == TWavSampleFormat::Float32 || format == TWavSampleFormat::Float64;
  std::vector<uint8_t> data;
  for (double x : interleaved) {
    if (format == TWavSampleFormat::Float32) {
      float f = float(x);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      Put(data, u, 4);
    } else if (format == TWavSampleFormat::Float64) {
      uint64_t u;
      std::memcpy(&u, &x, 8);
      Put(data, u, 8);
    } else {
      double scale = std::ldexp(1.0, bits - 1);
      double v = std::round(x * scale);
      v = std::fmax(-scale, std::fmin(scale - 1, v));
      int64_t s = int64_t(v);
      if (bits == 8) s += 128;
      Put(data, uint64_t(s), bits / 8);
    }
  }
  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
  Put(wav, 36 + data.size(), 4);
  for (char c : std::string("WAVEfmt ")) wav.push_back(uint8_t(c));
  Put(wav, 16, 4);
  Put(wav, isFloat ? 3 : 1, 2);
  Put(wav, channels, 2);
  Put(wav, rate, 4);
  Put(wav, uint64_t(rate) * channels * bits / 8, 4);
  Put(wav, channels * bits / 8, 2);
  Put(wav, bits, 2);
  for (char c : std::string("data")) wav.push_back(uint8_t(c));
  Put(wav, data.size(), 4);
  wav.insert(wav.end(), data.begin(), data.end());
  return wav;
}

std::vector<uint8_t> MakeMod(int patterns) {
  std::vector<uint8_t> mod(20, 0), saw(64), square(2000);
  for (size_t i = 0; i < saw.size(); ++i) saw[i] = uint8_t(int(i) * 3 - 96);
  for (size_t i = 0; i < square.size(); ++i) square[i] = uint8_t(i % 32 < 16 ? 60 : -60);
  for (int s = 0; s < 31; ++s) {  // name, length in words, finetune, volume, loop start and length
    const size_t words = (s == 0 ? saw.size() : s == 1 ? square.size() : 0) / 2, loop = s == 0 ? words : 1;
    mod.insert(mod.end(), 22, 0);
    mod.insert(mod.end(), {uint8_t(words >> 8), uint8_t(words), 0, 64, 0, 0, uint8_t(loop >> 8), uint8_t(loop)});
  }
  mod.insert(mod.end(), {uint8_t(patterns), 127});
  for (int i = 0; i < 128; ++i) mod.push_back(uint8_t(i < patterns ? i : 0));
  mod.insert(mod.end(), {'M', '.', 'K', '.'});
  const int periods[] = {428, 360, 320, 285};
  for (int row = 0; row < 64 * patterns; ++row) {  // the saw, the square, speed 3, the LED filter
    const bool first = row == 0, struck = row < 64 && row % 4 == 0;
    const int held = first ? 428 : 0, note = struck ? periods[row / 4 % 4] : 0;
    mod.insert(mod.end(), {uint8_t(held >> 8), uint8_t(held), uint8_t(first ? 0x10 : 0), 0, uint8_t(note >> 8),
                           uint8_t(note), uint8_t(struck ? 0x20 : 0), 0, 0, 0, uint8_t(first ? 0xF : 0),
                           uint8_t(first ? 3 : 0), 0, 0, uint8_t(first ? 0xE : 0), 0});
  }
  mod.insert(mod.end(), saw.begin(), saw.end());
  mod.insert(mod.end(), square.begin(), square.end());
  return mod;
}

std::vector<double> Sine(double hz, double amplitude, int rate, size_t frames, int channels) {
  const double pi = std::acos(-1.0);
  std::vector<double> out;
  out.reserve(frames * channels);
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) out.push_back(amplitude * std::sin(2 * pi * hz * double(i) / rate));
  return out;
}

std::vector<uint8_t> WithVorbisCommentField(std::vector<uint8_t> ogg, TVorbisCommentField field, uint32_t value) {
  static const uint8_t tag[] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
  auto header = std::search(ogg.begin(), ogg.end(), std::begin(tag), std::end(tag));
  if (ogg.end() - header < 11) throw std::runtime_error("no Vorbis comment header");
  size_t at = size_t(header - ogg.begin()) + 7;
  if (field == TVorbisCommentField::CommentCount) {
    at += 4 + (ogg[at] | ogg[at + 1] << 8 | ogg[at + 2] << 16 | size_t(ogg[at + 3]) << 24);
  }
  for (int i = 0; i < 4; ++i) ogg.at(at + i) = uint8_t(value >> (8 * i));
  return ogg;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string DemoSong(const char* name) { return std::string(ORVEL_SONGS) + "/" + name; }
