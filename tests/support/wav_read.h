// wav_read.h: a small RIFF WAVE reader for checking sounds.
#ifndef PLINKAR_TESTS_SUPPORT_WAV_READ_H
#define PLINKAR_TESTS_SUPPORT_WAV_READ_H

#include <cstdint>
#include <string>
#include <vector>

struct WavSound {
  int format = 0, channels = 0, sample_rate = 0, bits = 0;  // format 1 is integer PCM
  std::vector<int16_t> samples;  // interleaved frames; filled only for 16-bit PCM
};

// Reads the file, skipping chunks other than "fmt " and "data"; false with
// the reason in *error when it is not a well-formed RIFF WAVE file.
bool ReadWav(const std::string& path, WavSound* out, std::string* error);

// A headerless file of native 16-bit samples, as SDL's disk audio driver
// writes them; empty when it cannot be read.
std::vector<int16_t> ReadRawSamples(const std::string& path);

// Frames in the sound (samples per channel).
size_t FrameCount(const WavSound& sound);

#endif  // PLINKAR_TESTS_SUPPORT_WAV_READ_H
