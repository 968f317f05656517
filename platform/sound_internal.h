// sound_internal.h: what the sound call's tests and latency benchmarks look
// at. The player itself needs only platform/sound.h.
#ifndef PLINKAR_PLATFORM_SOUND_INTERNAL_H
#define PLINKAR_PLATFORM_SOUND_INTERNAL_H

#include <atomic>
#include <cstdint>
#include <string>

// The file a sound name opens: CP949 bytes become UTF-8 and backslashes '/'.
// Bytes that are not CP949 are kept as they are.
std::string soundFilePath(const char* name);

// Closes the device, frees the loaded sounds and quits SDL audio. Runs at exit
// once audio has started; the next sndPlaySoundA starts audio again and reads
// SDL_AUDIODRIVER afresh. No other thread may be playing meanwhile.
void soundShutdown();

// The open device; driver is null and the rest 0 while audio is not running.
struct SoundDeviceInfo {
  const char* driver;
  int rate;
  int channels;
  int frames;  // per callback
  int bytesPerSample;
};
SoundDeviceInfo soundDeviceInfo();

// True while a sound, or the fade of one cut off, still has samples to hand
// to the device, or a command for it waits for the audio callback.
bool soundPlaying();

// How many buffers the audio callback has filled since the process started.
unsigned long long soundBuffersFilled();

// steady_clock time (ns since its epoch) at which the audio callback handed
// the latest sound's first sample to the device; 0 until it has.
long long soundVoiceStartNanos();

// With PLINKAR_AUDIO_TIMES=FILE in the environment when audio starts, the
// audio callback records in FILE (shared memory) when it handed each buffer
// to the device and its loudest sample, so that a benchmark or test in
// another process can time sounds by their buffers. (SDL's disk and dummy
// drivers sleep whole milliseconds between buffers, so they run ahead of a
// device: 128 frames every 2.1 ms, not 2.9.)
struct SoundBufferTime {
  int64_t nanos;  // steady_clock
  int32_t peak;   // largest |sample|
  int32_t unused;
};
struct SoundTimesFile {
  static constexpr uint32_t kSize = 65536;  // a ring: the latest buffers, over 2 minutes
  std::atomic<uint32_t> count;              // buffers recorded so far
  uint32_t frames;                          // per buffer
  SoundBufferTime buffers[kSize];
};

#endif  // PLINKAR_PLATFORM_SOUND_INTERNAL_H
