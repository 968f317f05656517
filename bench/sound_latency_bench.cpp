// sound_latency_bench: how long after sndPlaySoundA the audio callback hands
// the new sound's first sample to the device, for sounds already cached and
// for sounds read on first use, with one voice and with 32 mixed; then what
// mixing costs the audio callback per voice. Uses whatever driver SDL opens
// (SDL_AUDIODRIVER honoured; dummy when no device opens).
//   build/bench/sound_latency_bench [plays]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"
#include "platform/sound_internal.h"

namespace fs = std::filesystem;

namespace {

long long nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void putLittleEndian(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 16-bit mono tone, the shape of the player's note files.
void writeTone(const fs::path& path, int rate, double seconds, double hertz) {
  uint32_t count = static_cast<uint32_t>(rate * seconds);
  std::string wav = "RIFF";
  putLittleEndian(wav, 36 + count * 2, 4);
  wav += "WAVEfmt ";
  putLittleEndian(wav, 16, 4);
  putLittleEndian(wav, 1, 2);
  putLittleEndian(wav, 1, 2);
  putLittleEndian(wav, rate, 4);
  putLittleEndian(wav, rate * 2, 4);
  putLittleEndian(wav, 2, 2);
  putLittleEndian(wav, 16, 2);
  wav += "data";
  putLittleEndian(wav, count * 2, 4);
  for (uint32_t i = 0; i < count; ++i) {
    double fade = 1.0 - static_cast<double>(i) / count;
    putLittleEndian(wav,
                    static_cast<uint32_t>(
                        static_cast<int16_t>(12000 * fade * std::sin(2 * M_PI * hertz * i / rate))),
                    2);
  }
  std::ofstream(path, std::ios::binary) << wav;
}

struct Play {
  double latencyMs;  // call to first sample handed to the device
  double callMs;     // how long the call itself took
};

// Plays one file and waits for the callback to take it.
Play timePlay(const std::string& path) {
  long long start = nowNanos();
  if (sndPlaySoundA(path.c_str(), SND_ASYNC) != 1) {
    std::fprintf(stderr, "sound_latency_bench: %s did not play\n", path.c_str());
    std::exit(1);
  }
  long long returned = nowNanos();
  long long handed = 0;
  while ((handed = soundVoiceStartNanos()) == 0) {
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  return Play{(handed - start) / 1e6, (returned - start) / 1e6};
}

// Spreads the calls over the phases of the device's buffer period.
void pause(unsigned& seed) {
  seed = seed * 1103515245u + 12345u;
  std::this_thread::sleep_for(std::chrono::microseconds(1000 + (seed >> 8) % 9000));
}

void report(const char* what, std::vector<Play> plays) {
  auto line = [&](const char* label, double Play::*field) {
    std::vector<double> values;
    for (const Play& play : plays) values.push_back(play.*field);
    std::sort(values.begin(), values.end());
    auto at = [&](double q) { return values[static_cast<size_t>(q * (values.size() - 1))]; };
    std::printf("  %-10s min %6.2f  median %6.2f  p95 %6.2f  max %6.2f ms\n", label, values.front(),
                at(0.5), at(0.95), values.back());
  };
  std::printf("%s (%zu plays)\n", what, plays.size());
  line("latency", &Play::latencyMs);
  line("call", &Play::callMs);
}

}  // namespace

int main(int argc, char** argv) {
  int plays = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  fs::path dir = fs::temp_directory_path() / ("plinkar-sound-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  int uncachedCount = std::min(plays, 40);
  for (int i = 0; i < uncachedCount; ++i) {
    writeTone(dir / ("note" + std::to_string(i) + ".wav"), 44100, 1.0, 220.0 + 10 * i);
    writeTone(dir / ("low" + std::to_string(i) + ".wav"), 22050, 1.0, 220.0 + 10 * i);
  }
  writeTone(dir / "cached.wav", 44100, 1.0, 440.0);

  std::vector<Play> first{timePlay((dir / "cached.wav").string())};
  SoundDeviceInfo device = soundDeviceInfo();
  std::printf("driver %s, %d Hz, %d channel(s), %d-byte samples, %d frames per buffer (%.2f ms)\n",
              device.driver, device.rate, device.channels, device.bytesPerSample, device.frames,
              1000.0 * device.frames / device.rate);
  report("first call (starts audio, reads the file)", first);

  unsigned seed = 1;
  std::vector<Play> cached;
  for (int i = 0; i < plays; ++i) {
    pause(seed);
    cached.push_back(timePlay((dir / "cached.wav").string()));
  }
  report("cached 1 s sound", cached);

  std::vector<Play> uncached;
  std::vector<Play> resampled;
  for (int i = 0; i < uncachedCount; ++i) {
    pause(seed);
    uncached.push_back(timePlay((dir / ("note" + std::to_string(i) + ".wav")).string()));
    pause(seed);
    resampled.push_back(timePlay((dir / ("low" + std::to_string(i) + ".wav")).string()));
  }
  report("uncached 1 s sound, 44.1 kHz (read, no conversion)", uncached);
  report("uncached 1 s sound, 22.05 kHz (read, resampled)", resampled);

  // The same with 32 voices: a 1 s sound every few ms keeps them all busy.
  sndPlaySoundA(nullptr, SND_ASYNC);
  soundShutdown();
  soundSetVoices(32);
  timePlay((dir / "cached.wav").string());  // starts audio again
  std::vector<Play> mixed;
  for (int i = 0; i < plays; ++i) {
    pause(seed);
    mixed.push_back(timePlay((dir / "cached.wav").string()));
  }
  report("cached 1 s sound, 32 voices", mixed);
  sndPlaySoundA(nullptr, SND_ASYNC);
  soundShutdown();
  soundSetVoices(1);
  fs::remove_all(dir);

  // The mixer alone: one device buffer of 256 samples from N voices, half of
  // them at a velocity's level, and with the limiter at work.
  std::vector<int16_t> note(44100 * 4);
  for (size_t i = 0; i < note.size(); ++i)
    note[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440.0 * i / 44100));
  std::printf("mixer, one 256-sample buffer:\n");
  double perVoice[2] = {0, 0};
  for (int voices : {1, 8, 32}) {
    Mixer mixer;
    int16_t out[256];
    const int rounds = 20000;
    long long elapsed = 0;
    for (int r = 0; r < rounds; ++r) {
      if (r % 600 == 0) {  // before the 4 s sounds run out
        mixerInit(&mixer, voices, 44100);
        for (int v = 0; v < voices; ++v) {
          MixerCommand start;
          start.action = MixerAction::Start;
          start.samples = note.data();
          start.length = static_cast<uint32_t>(note.size());
          start.gain = v % 2 ? kMixerFullGain : kMixerFullGain / 3;
          start.serial = v + 1;
          mixerApply(&mixer, start);
        }
      }
      const long long start = nowNanos();
      mixerRender(&mixer, out, 256);
      elapsed += nowNanos() - start;
    }
    double ns = static_cast<double>(elapsed) / rounds;
    std::printf("  %2d voice(s)  %8.0f ns (%.3f %% of a 256-frame buffer's 5.8 ms)\n", voices, ns,
                ns / 5804988.0 * 100);
    if (voices == 1) perVoice[0] = ns;
    if (voices == 32) perVoice[1] = ns;
  }
  std::printf("  each voice more: %.0f ns\n", (perVoice[1] - perVoice[0]) / 31);
  return 0;
}
