// sound.cpp: the Windows sound call on SDL2 audio.
//
// One voice by default. The calling thread reads and converts a WAV once (then
// it stays cached by path) and swaps it in under the device lock; the audio
// callback only copies bytes from the cached buffer, so it never waits on a
// file. With more voices the callback adds them up instead, still without a
// lock of its own or an allocation.
// A missing or unreadable file plays nothing and cuts off the sound playing,
// as the Windows default sound would. Without a sound card SDL's dummy driver
// takes the sound, so the player runs silent instead of failing.
#include "platform/sound.h"

#include <SDL.h>
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sound_internal.h"

namespace {

// 256 frames at 44.1 kHz is 5.8 ms: a new sound reaches the device within one
// buffer.
constexpr int kWantedRate = 44100;
constexpr int kWantedFrames = 256;

constexpr int kMaxVoices = 32;
constexpr int32_t kFullGain = kSoundFullGain;

struct Audio {
  SDL_AudioDeviceID device = 0;  // 0 when not even the dummy driver opened
  SDL_AudioSpec spec{};
  Uint8 silence = 0;
  std::unordered_map<std::string, std::vector<Uint8>> cache;
  unsigned long long serials = 0;
  // 1: a new sound cuts off the last, and the device may pick any format.
  // More: the device takes 16-bit samples, which the callback adds up.
  int voiceCount = 1;
  SoundVoice voices[kMaxVoices];  // shared with the callback, guarded by the device lock
};

std::mutex g_mutex;  // callers: start-up, cache, shutdown
Audio* g_audio = nullptr;
bool g_exitHandlerSet = false;
std::atomic<unsigned long long> g_buffersFilled{0};
std::atomic<long long> g_voiceStartNanos{0};
int g_voicesWanted = 1;          // for the next audio start
int32_t g_nextGain = kFullGain;  // for the sounds started from now on

long long nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void fillBuffer(void* userdata, Uint8* stream, int len) {
  Audio* audio = static_cast<Audio*>(userdata);
  if (audio->voiceCount > 1) {
    bool starting = false;
    for (int v = 0; v < audio->voiceCount; v++) {
      SoundVoice& voice = audio->voices[v];
      if (voiceActive(voice) && !voice.started) starting = voice.started = true;
    }
    mixVoices(audio->voices, audio->voiceCount, reinterpret_cast<int16_t*>(stream), len / 2);
    if (starting) g_voiceStartNanos.store(nowNanos(), std::memory_order_relaxed);
    g_buffersFilled.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  SoundVoice& voice = audio->voices[0];
  Uint32 copied = 0;
  if (voice.position < voice.length) {
    copied = std::min(voice.length - voice.position, static_cast<Uint32>(len));
    std::memcpy(stream, voice.data + voice.position, copied);
    voice.position += copied;
    if (!voice.started) {
      voice.started = true;
      g_voiceStartNanos.store(nowNanos(), std::memory_order_relaxed);
    }
  }
  std::memset(stream + copied, audio->silence, static_cast<size_t>(len) - copied);
  g_buffersFilled.fetch_add(1, std::memory_order_relaxed);
}

bool openDevice(Audio* audio) {
  SDL_AudioSpec want{};
  want.freq = kWantedRate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = kWantedFrames;
  want.callback = fillBuffer;
  want.userdata = audio;
  // Sounds are converted to whatever the device takes, so it may choose; but
  // voices are added up as 16-bit samples, and then SDL converts behind us.
  const int changes = audio->voiceCount > 1
                          ? SDL_AUDIO_ALLOW_ANY_CHANGE & ~SDL_AUDIO_ALLOW_FORMAT_CHANGE
                          : SDL_AUDIO_ALLOW_ANY_CHANGE;
  audio->device = SDL_OpenAudioDevice(nullptr, 0, &want, &audio->spec, changes);
  if (audio->device == 0) return false;
  audio->silence = audio->spec.silence;
  SDL_PauseAudioDevice(audio->device, 0);
  return true;
}

// Opens the driver SDL picks (or SDL_AUDIODRIVER names); failing that, the
// dummy driver.
void startAudio(Audio* audio) {
  // SDL would turn SIGINT and SIGTERM into events that nobody reads here, and
  // the player could then not be stopped from outside.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    if (openDevice(audio)) return;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  // Said once: audio starts once per run.
  std::fprintf(stderr, "plinkar: no audio device (%s); playing silently\n", SDL_GetError());
  SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && !openDevice(audio)) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

Audio* runningAudio() {
  if (g_audio == nullptr) {
    g_audio = new Audio;
    g_audio->voiceCount = g_voicesWanted;
    startAudio(g_audio);
    if (!g_exitHandlerSet) {
      g_exitHandlerSet = true;
      std::atexit(soundShutdown);
    }
  }
  return g_audio;
}

// The sound in the device's format, read on first use; null when the file is
// missing or not a WAV SDL can read.
const std::vector<Uint8>* cachedSound(Audio* audio, const std::string& path) {
  auto found = audio->cache.find(path);
  if (found != audio->cache.end()) return &found->second;

  SDL_AudioSpec spec{};
  Uint8* samples = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path.c_str(), &spec, &samples, &length) == nullptr) return nullptr;
  const SDL_AudioSpec& out = audio->spec;
  SDL_AudioCVT cvt{};
  int needed = SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, out.format,
                                 out.channels, out.freq);
  Uint32 frame = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
  length -= length % frame;
  std::vector<Uint8> converted;
  if (needed == 0) {
    converted.assign(samples, samples + length);
  } else if (needed > 0) {
    converted.resize(static_cast<size_t>(length) * cvt.len_mult);
    std::memcpy(converted.data(), samples, length);
    cvt.buf = converted.data();
    cvt.len = static_cast<int>(length);
    if (SDL_ConvertAudio(&cvt) == 0) {
      converted.resize(static_cast<size_t>(cvt.len_cvt));
    } else {
      needed = -1;
    }
  }
  SDL_FreeWAV(samples);
  if (needed < 0) return nullptr;
  return &audio->cache.emplace(path, std::move(converted)).first->second;
}

// Installs the next sound (null: stops every voice) and returns its serial.
unsigned long long startVoice(Audio* audio, const std::vector<Uint8>* sound) {
  SoundVoice next;
  next.serial = ++audio->serials;
  if (sound != nullptr) {
    next.data = sound->data();
    next.length = static_cast<Uint32>(sound->size());
    if (audio->voiceCount > 1) next.gain = g_nextGain;
  }
  SDL_LockAudioDevice(audio->device);
  if (sound == nullptr) {
    for (SoundVoice& voice : audio->voices) voice = SoundVoice();
  }
  audio->voices[voiceFor(audio->voices, audio->voiceCount)] = next;
  g_voiceStartNanos.store(0, std::memory_order_relaxed);
  SDL_UnlockAudioDevice(audio->device);
  return next.serial;
}

bool voiceBusy(unsigned long long serial) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_audio == nullptr || g_audio->device == 0) return false;
  SDL_LockAudioDevice(g_audio->device);
  bool busy = false;
  for (const SoundVoice& voice : g_audio->voices)
    if (voice.serial == serial && voiceActive(voice)) busy = true;
  SDL_UnlockAudioDevice(g_audio->device);
  return busy;
}

}  // namespace

bool voiceActive(const SoundVoice& voice) { return voice.position < voice.length; }

int voiceFor(const SoundVoice* voices, int count) {
  int oldest = 0;
  for (int v = 0; v < count; v++) {
    if (!voiceActive(voices[v])) return v;
    if (voices[v].serial < voices[oldest].serial) oldest = v;
  }
  return oldest;
}

void mixVoices(SoundVoice* voices, int count, int16_t* out, int samples) {
  constexpr int kChunk = 256;
  int32_t sum[kChunk];
  for (int done = 0; done < samples; done += kChunk) {
    const int n = std::min(kChunk, samples - done);
    std::fill(sum, sum + n, 0);
    for (int v = 0; v < count; v++) {
      SoundVoice& voice = voices[v];
      if (!voiceActive(voice)) continue;
      const int16_t* from = reinterpret_cast<const int16_t*>(voice.data + voice.position);
      const int take = static_cast<int>(std::min<uint32_t>((voice.length - voice.position) / 2, n));
      if (voice.gain == kFullGain) {
        for (int i = 0; i < take; i++) sum[i] += from[i];
      } else {
        for (int i = 0; i < take; i++) sum[i] += (from[i] * voice.gain) >> 15;
      }
      // An odd last byte can not make a sample: the voice ends with it.
      voice.position =
          take * 2u < voice.length - voice.position ? voice.position + take * 2u : voice.length;
    }
    for (int i = 0; i < n; i++)
      out[done + i] = static_cast<int16_t>(std::clamp(sum[i], -32768, 32767));
  }
}

std::string soundFilePath(const char* name) {
  std::string path(name);
  bool ascii = std::all_of(path.begin(), path.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) {
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      std::string utf8;
      char* in = path.data();
      size_t inLeft = path.size();
      char chunk[256];
      while (inLeft > 0) {
        char* out = chunk;
        size_t outLeft = sizeof chunk;
        size_t done = iconv(cd, &in, &inLeft, &out, &outLeft);
        utf8.append(chunk, static_cast<size_t>(out - chunk));
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
          // Not CP949: keep the byte, the file will simply not be found.
          utf8.push_back(*in);
          ++in;
          --inLeft;
          iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
      }
      iconv_close(cd);
      path = std::move(utf8);
    }
  }
  // After the conversion: in CP949 no trail byte is a backslash anyway.
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

int sndPlaySoundA(const char* name, unsigned flags) {
  unsigned long long serial = 0;
  Uint32 bytes = 0;
  int bytesPerSecond = 1;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (name == nullptr) {
      // Stopping needs no audio start-up.
      if (g_audio != nullptr && g_audio->device != 0) startVoice(g_audio, nullptr);
      return 1;
    }
    Audio* audio = runningAudio();
    if (audio->device == 0) return 0;
    const std::vector<Uint8>* sound = cachedSound(audio, soundFilePath(name));
    // With one voice a file that does not play cuts off the sound, as on
    // Windows; with more it takes no voice from the others.
    if (sound == nullptr) {
      if (audio->voiceCount == 1) startVoice(audio, nullptr);
      return 0;
    }
    serial = startVoice(audio, sound);
    bytes = static_cast<Uint32>(sound->size());
    bytesPerSecond =
        audio->spec.freq * audio->spec.channels * SDL_AUDIO_BITSIZE(audio->spec.format) / 8;
  }
  if ((flags & SND_ASYNC) == 0) {
    // Like Windows, wait for the end (the last sample handed to the device);
    // the bound keeps a stalled device from hanging the caller.
    long long deadline = nowNanos() + 1000000000LL + bytes * 1000000000LL / bytesPerSecond;
    while (voiceBusy(serial) && nowNanos() < deadline) SDL_Delay(1);
  }
  return 1;
}

void soundStart() {
  std::lock_guard<std::mutex> lock(g_mutex);
  runningAudio();
}

void soundShutdown() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_audio == nullptr) return;
  if (g_audio->device != 0) {
    SDL_CloseAudioDevice(g_audio->device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  SDL_ResetHint(SDL_HINT_AUDIODRIVER);
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
  delete g_audio;
  g_audio = nullptr;
  g_voiceStartNanos.store(0, std::memory_order_relaxed);
}

SoundDeviceInfo soundDeviceInfo() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_audio == nullptr || g_audio->device == 0) return SoundDeviceInfo{nullptr, 0, 0, 0, 0};
  const SDL_AudioSpec& spec = g_audio->spec;
  return SoundDeviceInfo{SDL_GetCurrentAudioDriver(), spec.freq, spec.channels, spec.samples,
                         SDL_AUDIO_BITSIZE(spec.format) / 8};
}

bool soundPlaying() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_audio == nullptr || g_audio->device == 0) return false;
  SDL_LockAudioDevice(g_audio->device);
  bool playing = false;
  for (const SoundVoice& voice : g_audio->voices) playing = playing || voiceActive(voice);
  SDL_UnlockAudioDevice(g_audio->device);
  return playing;
}

void soundSetVoices(int count) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_voicesWanted = std::clamp(count, 1, kMaxVoices);
}

void soundSetLevel(float level) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_nextGain = static_cast<int32_t>(std::lround(std::clamp(level, 0.0f, 1.0f) * kFullGain));
}

unsigned long long soundBuffersFilled() { return g_buffersFilled.load(std::memory_order_relaxed); }

long long soundVoiceStartNanos() { return g_voiceStartNanos.load(std::memory_order_relaxed); }
