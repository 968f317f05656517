// sound.cpp: the Windows sound call on SDL2 audio; on Windows, with one
// voice, winmm's own.
//
// Every sound is read and converted once, on first use or when preloaded,
// and stays loaded until shutdown. Playing one hands the audio callback a
// command through a lock-free queue: no lock, wait or allocation, so a MIDI
// note can start its sound from RtMidi's or JACK's own thread. The callback
// applies the commands and mixes the voices (platform/mixer.h).
// A missing or unreadable file plays nothing and cuts off the sound playing,
// as the Windows default sound would. Without a sound card SDL's dummy driver
// takes the sound, so the player runs silent instead of failing.
#include "platform/sound.h"

#ifdef _WIN32
#define SDL_MAIN_HANDLED  // the program has its own entry
#include "platform/sound_win32.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/mman.h>
#include <unistd.h>
#endif
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound_internal.h"

namespace {

// 128 frames at 44.1 kHz is 2.9 ms: a new sound reaches the device within one
// buffer.
constexpr int kWantedRate = 44100;
constexpr int kWantedFrames = 128;

// The player has 19 sounds; room for programs and tests that use more.
constexpr int kMaxSounds = 256;

struct LoadedSound {
  std::string name;  // as the caller gave it
  std::vector<int16_t> samples;
  bool playable = false;  // false: missing or not a WAV SDL reads
};

struct Audio {
  SDL_AudioDeviceID device = 0;  // 0 when not even the dummy driver opened
  SDL_AudioSpec spec{};
  Mixer mixer;  // the callback's, or under the device lock; voiceCount fixed once open
  MixerQueue commands;
  std::atomic<unsigned long long> queued{0}, applied{0};  // commands
  // Appended under g_mutex, read without it: an entry is complete before the
  // count that shows it.
  LoadedSound sounds[kMaxSounds];
  std::atomic<int> soundCount{0};
  SoundTimesFile* times = nullptr;
};

std::mutex g_mutex;  // start-up, loading, shutdown
std::atomic<Audio*> g_audio{nullptr};
bool g_exitHandlerSet = false;
std::atomic<unsigned long long> g_buffersFilled{0};
std::atomic<long long> g_voiceStartNanos{0};
std::atomic<unsigned long long> g_serials{0};
std::atomic<int> g_voicesWanted{1};  // for the next audio start
thread_local bool t_muted = false;

long long nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void recordTime(SoundTimesFile* times, const int16_t* samples, int count) {
  int32_t peak = 0;
  for (int i = 0; i < count; i++) peak = std::max(peak, std::abs(int32_t(samples[i])));
  const uint32_t n = times->count.load(std::memory_order_relaxed);
  times->buffers[n % SoundTimesFile::kSize] = SoundBufferTime{nowNanos(), peak, 0};
  times->count.store(n + 1, std::memory_order_release);
}

void fillBuffer(void* userdata, Uint8* stream, int len) {
  Audio* audio = static_cast<Audio*>(userdata);
  MixerCommand command;
  while (queuePop(&audio->commands, &command)) {
    mixerApply(&audio->mixer, command);
    audio->applied.fetch_add(1, std::memory_order_release);
  }
  int16_t* out = reinterpret_cast<int16_t*>(stream);
  if (mixerRender(&audio->mixer, out, len / 2))
    g_voiceStartNanos.store(nowNanos(), std::memory_order_relaxed);
  if (audio->times) recordTime(audio->times, out, len / 2);
  g_buffersFilled.fetch_add(1, std::memory_order_relaxed);
}

// The benchmarks' record of buffer times, when asked for.
SoundTimesFile* mapTimesFile() {
#ifdef _WIN32
  return nullptr;
#else
  const char* path = std::getenv("PLINKAR_AUDIO_TIMES");
  if (!path || !*path) return nullptr;
  const int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return nullptr;
  void* mapped = MAP_FAILED;
  if (ftruncate(fd, sizeof(SoundTimesFile)) == 0)
    mapped = mmap(nullptr, sizeof(SoundTimesFile), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  return mapped == MAP_FAILED ? nullptr : static_cast<SoundTimesFile*>(mapped);
#endif
}

// Voices are added up as 16-bit mono samples; SDL converts to whatever else
// the device wants.
bool openDevice(Audio* audio) {
  SDL_AudioSpec want{};
  want.freq = kWantedRate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = kWantedFrames;
  want.callback = fillBuffer;
  want.userdata = audio;
  audio->device =
      SDL_OpenAudioDevice(nullptr, 0, &want, &audio->spec,
                          SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
  if (audio->device == 0) return false;
  mixerInit(&audio->mixer, g_voicesWanted, audio->spec.freq);
  audio->times = mapTimesFile();
  if (audio->times) audio->times->frames = audio->spec.samples;
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

// Under g_mutex.
Audio* runningAudio() {
  Audio* audio = g_audio.load(std::memory_order_acquire);
  if (audio) return audio;
  audio = new Audio;
  startAudio(audio);
  if (!g_exitHandlerSet) {
    g_exitHandlerSet = true;
    std::atexit(soundShutdown);
  }
  g_audio.store(audio, std::memory_order_release);
  return audio;
}

const LoadedSound* findSound(Audio* audio, const char* name) {
  const int count = audio->soundCount.load(std::memory_order_acquire);
  for (int i = 0; i < count; i++)
    if (audio->sounds[i].name == name) return &audio->sounds[i];
  return nullptr;
}

// The samples of a WAV file as the device plays them; false when the file is
// missing or not a WAV SDL can read.
bool decode(const std::string& path, int rate, std::vector<int16_t>* out) {
  SDL_AudioSpec spec{};
  Uint8* samples = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path.c_str(), &spec, &samples, &length) == nullptr) return false;
  SDL_AudioCVT cvt{};
  const int needed =
      SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16SYS, 1, rate);
  const Uint32 frame = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
  length -= length % frame;
  std::vector<Uint8> converted;
  bool ok = needed >= 0;
  if (needed == 0) {
    converted.assign(samples, samples + length);
  } else if (needed > 0) {
    converted.resize(static_cast<size_t>(length) * cvt.len_mult);
    std::memcpy(converted.data(), samples, length);
    cvt.buf = converted.data();
    cvt.len = static_cast<int>(length);
    ok = SDL_ConvertAudio(&cvt) == 0;
    if (ok) converted.resize(static_cast<size_t>(cvt.len_cvt));
  }
  SDL_FreeWAV(samples);
  if (!ok) return false;
  out->resize(converted.size() / 2);
  std::memcpy(out->data(), converted.data(), out->size() * 2);
  return true;
}

// Reads the sound on first use; under g_mutex. Null only when no more fit.
const LoadedSound* loadSound(Audio* audio, const char* name) {
  if (const LoadedSound* sound = findSound(audio, name)) return sound;
  const int count = audio->soundCount.load(std::memory_order_relaxed);
  if (count == kMaxSounds) return nullptr;
  LoadedSound& sound = audio->sounds[count];
  sound.name = name;
  sound.playable = decode(soundFilePath(name), audio->spec.freq, &sound.samples);
  audio->soundCount.store(count + 1, std::memory_order_release);
  return &sound;
}

// False, and not taken, when the callback has fallen so far behind that the
// queue is full.
bool send(Audio* audio, const MixerCommand& command) {
  audio->queued.fetch_add(1, std::memory_order_relaxed);
  if (queuePush(&audio->commands, command)) return true;
  audio->queued.fetch_sub(1, std::memory_order_relaxed);
  return false;
}

// The running audio, started if need be; null without a device.
Audio* audioForPlaying() {
  Audio* audio = g_audio.load(std::memory_order_acquire);
  if (!audio) {
    std::lock_guard<std::mutex> lock(g_mutex);
    audio = runningAudio();
  }
  return audio->device != 0 ? audio : nullptr;
}

// Stopping needs no audio start-up.
void stopAll() {
  Audio* audio = g_audio.load(std::memory_order_acquire);
  if (audio && audio->device != 0) send(audio, MixerCommand());
}

// The new sound's serial, or 0 when it does not play.
unsigned long long play(const char* name, float level, int note, Uint32* samples) {
  Audio* audio = audioForPlaying();
  if (!audio) return 0;
  const LoadedSound* sound = findSound(audio, name);
  if (!sound) {
    std::lock_guard<std::mutex> lock(g_mutex);
    sound = loadSound(audio, name);
  }
  // With one voice a file that does not play cuts off the sound, as on
  // Windows; with more it takes no voice from the others.
  if (!sound || !sound->playable) {
    if (audio->mixer.voiceCount == 1) stopAll();
    return 0;
  }
  MixerCommand command;
  command.action = MixerAction::Start;
  command.samples = sound->samples.data();
  command.length = static_cast<uint32_t>(sound->samples.size());
  if (audio->mixer.voiceCount > 1)
    command.gain =
        static_cast<int32_t>(std::lround(std::clamp(level, 0.0f, 1.0f) * kMixerFullGain));
  command.note = note;
  command.serial = g_serials.fetch_add(1, std::memory_order_relaxed) + 1;
  g_voiceStartNanos.store(0, std::memory_order_relaxed);
  if (!send(audio, command)) return 0;
  if (samples) *samples = command.length;
  return command.serial;
}

// Whether the sound of this serial (0: any) still sounds or waits to.
bool sounding(unsigned long long serial) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Audio* audio = g_audio.load(std::memory_order_relaxed);
  if (audio == nullptr || audio->device == 0) return false;
  if (audio->applied.load(std::memory_order_acquire) !=
      audio->queued.load(std::memory_order_relaxed))
    return true;
  SDL_LockAudioDevice(audio->device);
  const bool busy = mixerSounding(audio->mixer, serial);
  SDL_UnlockAudioDevice(audio->device);
  return busy;
}

}  // namespace

#ifdef _WIN32
// SDL opens UTF-8 names; backslashes are Windows' own.
std::string soundFilePath(const char* name) { return utf8FromAnsiName(name); }

// One voice is winmm's: the call's own contract, with no mixer in between.
static bool winmmPlays() { return g_voicesWanted.load(std::memory_order_relaxed) == 1; }
#else
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

// No winmm here: the mixer always plays.
static bool winmmPlays() { return false; }
static int sndPlaySoundAnyCodePage(const char*, unsigned) { return 0; }
static void sndPreloadAnyCodePage(const char*) {}
#endif

int sndPlaySoundA(const char* name, unsigned flags) {
  if (t_muted) return 1;
  if (winmmPlays()) return sndPlaySoundAnyCodePage(name, flags);
  if (name == nullptr) {
    stopAll();
    return 1;
  }
  Uint32 samples = 0;
  const unsigned long long serial = play(name, 1.0f, kMixerNoNote, &samples);
  if (serial == 0) return 0;
  if ((flags & SND_ASYNC) == 0) {
    // Like Windows, wait for the end (the last sample handed to the device);
    // the bound keeps a stalled device from hanging the caller.
    const int rate = std::max(1, soundDeviceInfo().rate);
    const long long deadline = nowNanos() + 1000000000LL + samples * 1000000000LL / rate;
    while (sounding(serial) && nowNanos() < deadline) SDL_Delay(1);
  }
  return 1;
}

int soundPlay(const char* name, float level, int note) {
  if (winmmPlays()) return sndPlaySoundAnyCodePage(name, SND_ASYNC);
  if (name == nullptr) {
    stopAll();
    return 1;
  }
  return play(name, level, note, nullptr) != 0 ? 1 : 0;
}

void soundNoteOff(int note) {
  Audio* audio = g_audio.load(std::memory_order_acquire);
  if (!audio || audio->device == 0) return;
  MixerCommand command;
  command.action = MixerAction::NoteOff;
  command.note = note;
  send(audio, command);
}

void soundSustain(int channel, bool down) {
  Audio* audio = g_audio.load(std::memory_order_acquire);
  if (!audio || audio->device == 0) return;
  MixerCommand command;
  command.action = MixerAction::Pedal;
  command.channel = channel;
  command.down = down;
  send(audio, command);
}

void soundMuteThisThread(bool muted) { t_muted = muted; }

void soundPreload(const char* name) {
  if (winmmPlays()) {
    sndPreloadAnyCodePage(name);
    return;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  Audio* audio = runningAudio();
  if (audio->device != 0) loadSound(audio, name);
}

void soundStart() {
  if (winmmPlays()) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  runningAudio();
}

void soundShutdown() {
  std::lock_guard<std::mutex> lock(g_mutex);
  Audio* audio = g_audio.load(std::memory_order_relaxed);
  if (audio == nullptr) return;
  g_audio.store(nullptr, std::memory_order_release);
  if (audio->device != 0) {
    SDL_CloseAudioDevice(audio->device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  SDL_ResetHint(SDL_HINT_AUDIODRIVER);
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
#ifndef _WIN32
  if (audio->times) munmap(audio->times, sizeof(SoundTimesFile));
#endif
  delete audio;
  g_voiceStartNanos.store(0, std::memory_order_relaxed);
}

SoundDeviceInfo soundDeviceInfo() {
  Audio* audio = g_audio.load(std::memory_order_acquire);
  if (audio == nullptr || audio->device == 0) return SoundDeviceInfo{nullptr, 0, 0, 0, 0};
  const SDL_AudioSpec& spec = audio->spec;
  return SoundDeviceInfo{SDL_GetCurrentAudioDriver(), spec.freq, spec.channels, spec.samples,
                         SDL_AUDIO_BITSIZE(spec.format) / 8};
}

bool soundPlaying() { return sounding(0); }

void soundSetVoices(int count) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_voicesWanted = std::clamp(count, 1, kMixerMaxVoices);
}

unsigned long long soundBuffersFilled() { return g_buffersFilled.load(std::memory_order_relaxed); }

long long soundVoiceStartNanos() { return g_voiceStartNanos.load(std::memory_order_relaxed); }
