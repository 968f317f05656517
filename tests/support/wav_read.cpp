#include "tests/support/wav_read.h"

#include <cstring>

#include "tests/support/files.h"

namespace {

uint32_t Le32(const std::string& b, size_t at) {
  return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8 | uint8_t(b[at + 2]) << 16 |
         static_cast<uint32_t>(uint8_t(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

bool Fail(std::string* error, const char* why) {
  *error = why;
  return false;
}

}  // namespace

bool ReadWav(const std::string& path, WavSound* out, std::string* error) {
  const std::string bytes = readFile(path);
  *out = WavSound();
  if (bytes.size() < 12) return Fail(error, "shorter than a RIFF header");
  if (bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
    return Fail(error, "not a RIFF WAVE file");
  if (Le32(bytes, 4) + 8 != bytes.size()) return Fail(error, "RIFF size does not match the file");

  bool have_fmt = false, have_data = false;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const std::string id = bytes.substr(at, 4);
    const size_t size = Le32(bytes, at + 4);
    const size_t body = at + 8;
    if (size > bytes.size() - body) return Fail(error, "chunk runs past the end");
    if (id == "fmt ") {
      if (size < 16) return Fail(error, "fmt chunk too short");
      out->format = Le16(bytes, body);
      out->channels = Le16(bytes, body + 2);
      out->sample_rate = static_cast<int>(Le32(bytes, body + 4));
      const uint32_t byte_rate = Le32(bytes, body + 8);
      const int block_align = Le16(bytes, body + 12);
      out->bits = Le16(bytes, body + 14);
      if (out->channels < 1) return Fail(error, "no channels");
      if (block_align != out->channels * ((out->bits + 7) / 8) ||
          byte_rate != static_cast<uint32_t>(out->sample_rate) * block_align)
        return Fail(error, "block align or byte rate disagree with the format");
      have_fmt = true;
    } else if (id == "data") {
      if (!have_fmt) return Fail(error, "data before fmt");
      if (out->format == 1 && out->bits == 16) {
        if (size % (2 * out->channels) != 0) return Fail(error, "data ends inside a frame");
        out->samples.resize(size / 2);
        for (size_t i = 0; i < out->samples.size(); ++i)
          out->samples[i] = static_cast<int16_t>(Le16(bytes, body + 2 * i));
      }
      have_data = true;
    }
    // Chunks are padded to an even size.
    at = body + size + (size & 1);
  }
  if (at < bytes.size()) return Fail(error, "trailing bytes after the last chunk");
  if (!have_fmt) return Fail(error, "no fmt chunk");
  if (!have_data) return Fail(error, "no data chunk");
  return true;
}

size_t FrameCount(const WavSound& sound) {
  return sound.channels > 0 ? sound.samples.size() / sound.channels : 0;
}

std::vector<int16_t> ReadRawSamples(const std::string& path) {
  const std::string bytes = readFile(path);
  std::vector<int16_t> samples(bytes.size() / 2);
  if (!samples.empty()) memcpy(samples.data(), bytes.data(), 2 * samples.size());
  return samples;
}
