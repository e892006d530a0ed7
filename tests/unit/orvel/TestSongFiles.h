// Song files for the tests: WAVs of every encoding written on the spot, and the demo songs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class TWavSampleFormat { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

int BitsOf(TWavSampleFormat format);
// The quantisation step of the format, for comparisons with what it decodes to.
double StepOf(TWavSampleFormat format);

// interleaved: channels values per frame, full scale +-1.0.
std::vector<uint8_t> MakeWav(TWavSampleFormat format, int channels, int rate, const std::vector<double>& interleaved);
// A four-channel ProTracker module, 3.84 s a pattern, LED filter on: a looped saw struck on the
// first row and held to the end, and a square note every fourth row of the first pattern only.
std::vector<uint8_t> MakeMod(int patterns);
std::vector<double> Sine(double hz, double amplitude, int rate, size_t frames, int channels);

// The Ogg Vorbis bytes with the comment header's vendor length or comment count replaced.
enum class TVorbisCommentField { VendorLength, CommentCount };
std::vector<uint8_t> WithVorbisCommentField(std::vector<uint8_t> ogg, TVorbisCommentField field, uint32_t value);

std::vector<uint8_t> ReadBytes(const std::string& path);
std::string DemoSong(const char* name);
