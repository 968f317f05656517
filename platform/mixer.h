// mixer.h: the voices the audio callback plays, 16-bit mono.
//
// Whatever cuts a sound (a stop, a stolen voice, a new sound with one voice)
// fades it out over a few milliseconds instead of jumping to silence; a
// released MIDI note is damped unless its channel's sustain pedal is down;
// with two or more voices sounding a limiter keeps the sum below full scale.
// A sound alone at full gain comes out exactly as recorded.
//
// The mixer runs in the audio callback and neither locks nor allocates.
// Other threads hand it commands through a MixerQueue.
#ifndef PLINKAR_PLATFORM_MIXER_H
#define PLINKAR_PLATFORM_MIXER_H

#include <cstdint>

#include "platform/lockfree_queue.h"

constexpr int kMixerMaxVoices = 32;
constexpr int kMixerSlots = 2 * kMixerMaxVoices;  // room for the ones fading out
constexpr int32_t kMixerFullGain = 32768;         // as recorded
constexpr int kMixerNoNote = -1;                  // a key's sound: no note-off damps it
constexpr int kMixerCutMs = 5;
constexpr int kMixerReleaseMs = 150;
constexpr int32_t kMixerCeiling = 32000;  // the limiter's peak, below full scale

// A MIDI note's tag: its channel (0 to 15) and number.
inline int mixerNote(int channel, int note) { return channel * 128 + note; }

enum class MixerAction : uint8_t { Start, StopAll, NoteOff, Pedal };

struct MixerCommand {
  MixerAction action = MixerAction::StopAll;
  const int16_t* samples = nullptr;  // Start: lives until the mixer is done with it
  uint32_t length = 0;               // Start: samples
  int32_t gain = kMixerFullGain;     // Start
  int note = kMixerNoNote;           // Start, NoteOff
  int channel = 0;                   // Pedal
  bool down = false;                 // Pedal
  unsigned long long serial = 0;     // Start
};

enum class VoiceStage : uint8_t { Free, Playing, Releasing, Cutting };

struct MixerVoice {
  const int16_t* samples = nullptr;
  uint32_t length = 0;
  uint32_t position = 0;
  unsigned long long serial = 0;  // later sounds have higher ones
  int32_t gain = kMixerFullGain;
  int note = kMixerNoNote;
  bool held = false;     // its key is down (MIDI notes only)
  bool started = false;  // its first samples have been mixed
  VoiceStage stage = VoiceStage::Free;
  int32_t envelope = 1 << 16;  // Q16: 1 << 16 is untouched
  int32_t fadeStep = 0;        // taken off the envelope each sample while fading
};

struct Mixer {
  int voiceCount = 1;  // sounds that may ring together
  int32_t cutStep = 1, releaseStep = 1;
  float limiterGain = 1.0f;
  float limiterRecovery = 0.0f;  // per sample: how much of the gain's distance to 1 is kept
  bool sustain[16] = {};
  MixerVoice voices[kMixerSlots];
};

// voiceCount 1 to kMixerMaxVoices; the fades are timed at this sample rate.
void mixerInit(Mixer* mixer, int voiceCount, int rate);

// Start takes a free voice, or cuts the oldest when voiceCount are sounding;
// StopAll cuts every voice. NoteOff and Pedal act only with more than one
// voice.
void mixerApply(Mixer* mixer, const MixerCommand& command);

// Fills out with the next samples of every voice. True when a voice was
// heard for the first time.
bool mixerRender(Mixer* mixer, int16_t* out, int samples);

// True while the sound of this serial still sounds (0: any sound).
bool mixerSounding(const Mixer& mixer, unsigned long long serial);

// Commands from any thread to the audio callback.
using MixerQueue = LockFreeQueue<MixerCommand, 256>;

#endif  // PLINKAR_PLATFORM_MIXER_H
