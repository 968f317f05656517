// sound_internal.h: what the sound call's tests and latency benchmark look at.
// The player itself needs only platform/sound.h.
#ifndef PLINKAR_PLATFORM_SOUND_INTERNAL_H
#define PLINKAR_PLATFORM_SOUND_INTERNAL_H

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

#endif  // PLINKAR_PLATFORM_SOUND_INTERNAL_H
