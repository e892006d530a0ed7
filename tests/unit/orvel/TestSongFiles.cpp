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
