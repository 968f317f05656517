#include "audio_analysis.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

Frames Window(const WavSound& sound, size_t start, size_t length) {
  Frames out{sound.sample_rate, std::vector<double>(length)};
  for (size_t i = 0; i < length && start + i < FrameCount(sound); ++i) {
    double sum = 0;
    for (int ch = 0; ch < sound.channels; ++ch)
      sum += sound.samples[(start + i) * sound.channels + ch];
    out.x[i] = (0.5 - 0.5 * std::cos(2 * M_PI * i / length)) * sum / sound.channels / 32768;
  }
  return out;
}

double PowerAt(const Frames& frames, double hz) {
  const double k = 2 * std::cos(2 * M_PI * hz / frames.rate);
  double s1 = 0, s2 = 0;
  for (double v : frames.x) s2 = std::exchange(s1, v + k * s1 - s2);
  return s1 * s1 + s2 * s2 - k * s1 * s2;
}

double NoteHz(double midi_note) { return 440.0 * std::pow(2.0, (midi_note - 69) / 12.0); }
double Cents(double hz, double reference_hz) { return 1200 * std::log2(hz / reference_hz); }

double FundamentalHz(const Frames& frames, int low, int high) {
  int best = low;
  for (int n = low; n <= high; ++n)
    if (PowerAt(frames, NoteHz(n)) > PowerAt(frames, NoteHz(best))) best = n;
  const double peak = PowerAt(frames, NoteHz(best));
  for (int below : {24, 19, 12})  // two octaves, a twelfth, an octave
    if (best - below >= low && PowerAt(frames, NoteHz(best - below)) >= peak * 0.01) {
      best -= below;
      break;
    }
  double hz = NoteHz(best);
  for (int c = -50; c <= 50; ++c)
    if (PowerAt(frames, NoteHz(best + c / 100.0)) > PowerAt(frames, hz))
      hz = NoteHz(best + c / 100.0);
  return hz;
}

unsigned StrongestPitchClasses(const Frames& frames, int low, int high, int k) {
  double chroma[12] = {};
  for (int n = low; n <= high; ++n)
    chroma[n % 12] += PowerAt(frames, NoteHz(n)) / std::pow(NoteHz(n), 2);
  int order[12];
  std::iota(order, order + 12, 0);
  std::sort(order, order + 12, [&](int a, int b) { return chroma[a] > chroma[b]; });
  unsigned mask = 0;
  for (int i = 0; i < k; ++i) mask |= 1u << order[i];
  return mask;
}

double CrossingHz(const WavSound& sound, size_t start, size_t length) {
  const size_t end = std::min(FrameCount(sound), start + length);
  int crossings = 0;
  for (size_t i = start + 1; i < end; ++i)
    crossings +=
        (sound.samples[i * sound.channels] < 0) != (sound.samples[(i - 1) * sound.channels] < 0);
  return crossings * 0.5 * sound.sample_rate / static_cast<double>(end - start);
}

double Rms(const WavSound& sound, size_t start, size_t length) {
  const size_t end = std::min(FrameCount(sound), start + length);
  double sum = 0;
  for (size_t i = start * sound.channels; i < end * sound.channels; ++i)
    sum += std::pow(sound.samples[i] / 32768.0, 2);
  return std::sqrt(sum / static_cast<double>((end - start) * sound.channels));
}

int PeakSample(const WavSound& sound) {
  int peak = 0;
  for (int16_t s : sound.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak;
}

size_t FirstFrameAbove(const WavSound& sound, int level) {
  for (size_t i = 0; i < sound.samples.size(); ++i)
    if (std::abs(static_cast<int>(sound.samples[i])) >= level) return i / sound.channels;
  return FrameCount(sound);
}
