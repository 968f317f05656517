// wav_read.h: a small RIFF WAVE reader for checking the shipped sounds.
#ifndef PLINKAR_TESTS_SUPPORT_WAV_READ_H
#define PLINKAR_TESTS_SUPPORT_WAV_READ_H

#include <cstdint>
#include <string>
#include <vector>

struct WavSound {
  int format = 0;  // 1 is integer PCM
  int channels = 0;
  int sample_rate = 0;
  int bits = 0;
  // Interleaved frames; filled only for 16-bit PCM.
  std::vector<int16_t> samples;
};

// Parses a RIFF WAVE image. Skips chunks other than "fmt " and "data".
// Returns false with the reason in *error.
bool ParseWav(const std::vector<unsigned char>& bytes, WavSound* out, std::string* error);

// Reads and parses the file at path.
bool ReadWav(const std::string& path, WavSound* out, std::string* error);

// A headerless file of native 16-bit samples, as SDL's disk audio driver
// writes them; empty when it cannot be read.
std::vector<int16_t> ReadRawSamples(const std::string& path);

// Frames in the sound (samples per channel).
size_t FrameCount(const WavSound& sound);

#endif  // PLINKAR_TESTS_SUPPORT_WAV_READ_H
