// sound_internal.h: what the sound call's tests and latency benchmark look at.
// The player itself needs only platform/sound.h.
#ifndef PLINKAR_PLATFORM_SOUND_INTERNAL_H
#define PLINKAR_PLATFORM_SOUND_INTERNAL_H

#include <cstdint>
#include <string>

// The file a sound name opens: CP949 bytes become UTF-8 and backslashes '/'.
// Bytes that are not CP949 are kept as they are.
std::string soundFilePath(const char* name);

// Closes the device, frees the cached sounds and quits SDL audio. Runs at exit
// once audio has started; the next sndPlaySoundA starts audio again and reads
// SDL_AUDIODRIVER afresh.
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

// True while the current sound still has samples to hand to the device.
bool soundPlaying();

// How many buffers the audio callback has filled since the process started.
unsigned long long soundBuffersFilled();

// steady_clock time (ns since its epoch) at which the audio callback handed
// the latest sound's first sample to the device; 0 until it has.
long long soundVoiceStartNanos();

// What the audio callback plays: a range of a cached buffer in the device's
// format, which lives until shutdown.
constexpr int32_t kSoundFullGain = 32768;  // as recorded
struct SoundVoice {
  const uint8_t* data = nullptr;
  uint32_t length = 0;  // bytes
  uint32_t position = 0;
  unsigned long long serial = 0;  // later sounds have higher ones
  bool started = false;           // its first bytes have gone to the device
  int32_t gain = kSoundFullGain;  // applied when voices are added up
};

bool voiceActive(const SoundVoice& voice);

// Where a new sound goes among count voices: the first free one, else the
// one that started first.
int voiceFor(const SoundVoice* voices, int count);

// Adds the next samples of every active voice, 16-bit, each scaled by its
// gain, into out and moves them on. The sum saturates instead of wrapping; a
// voice alone at full gain comes out as it is. Voices that run out fall
// silent; out is always filled.
void mixVoices(SoundVoice* voices, int count, int16_t* out, int samples);

#endif  // PLINKAR_PLATFORM_SOUND_INTERNAL_H
