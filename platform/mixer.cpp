// mixer.cpp: voices, fades, damper, pedal and limiter of the audio callback.
#include "platform/mixer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kWhole = 1 << 16;  // an envelope that leaves the sound as it is

// The limiter's gain comes back to 1 with this time constant once the peaks
// have passed: slow enough not to pump on a chord's decay.
constexpr double kRecoverySeconds = 0.05;

bool sounding(const MixerVoice& voice) {
  return voice.stage == VoiceStage::Playing || voice.stage == VoiceStage::Releasing;
}

// Fades from wherever the envelope is, so a voice already being damped goes
// on from its present level.
void cut(Mixer* mixer, MixerVoice* voice) {
  voice->stage = VoiceStage::Cutting;
  voice->fadeStep = std::max(voice->fadeStep, mixer->cutStep);
}

void damp(Mixer* mixer, MixerVoice* voice) {
  if (voice->stage != VoiceStage::Playing) return;
  voice->stage = VoiceStage::Releasing;
  voice->fadeStep = mixer->releaseStep;
}

MixerVoice* slotForNewVoice(Mixer* mixer) {
  MixerVoice* quietest = nullptr;
  for (MixerVoice& voice : mixer->voices) {
    if (voice.stage == VoiceStage::Free) return &voice;
    if (voice.stage == VoiceStage::Cutting && (!quietest || voice.envelope < quietest->envelope))
      quietest = &voice;
  }
  // At most voiceCount voices sound, so the rest are fading: the one nearest
  // silence goes a few samples early.
  return quietest;
}

void start(Mixer* mixer, const MixerCommand& command) {
  int count = 0;
  MixerVoice* oldest = nullptr;
  for (MixerVoice& voice : mixer->voices) {
    if (!sounding(voice)) continue;
    count++;
    if (!oldest || voice.serial < oldest->serial) oldest = &voice;
  }
  if (count >= mixer->voiceCount && oldest) cut(mixer, oldest);
  if (command.length == 0) return;
  MixerVoice* voice = slotForNewVoice(mixer);
  if (!voice) return;
  *voice = MixerVoice();
  voice->samples = command.samples;
  voice->length = command.length;
  voice->serial = command.serial;
  voice->gain = command.gain;
  voice->note = command.note;
  voice->held = command.note != kMixerNoNote;
  voice->stage = VoiceStage::Playing;
}

// Adds up to n samples of the voice into sum and moves it on.
void addVoice(MixerVoice* voice, int32_t* sum, int n) {
  const int16_t* from = voice->samples + voice->position;
  const int take = static_cast<int>(std::min<uint32_t>(voice->length - voice->position, n));
  int done = take;
  if (voice->stage == VoiceStage::Playing) {
    if (voice->gain == kMixerFullGain) {
      for (int i = 0; i < take; i++) sum[i] += from[i];
    } else {
      for (int i = 0; i < take; i++) sum[i] += (from[i] * voice->gain) >> 15;
    }
  } else {
    for (int i = 0; i < take; i++) {
      voice->envelope -= voice->fadeStep;
      if (voice->envelope <= 0) {
        done = i;
        break;
      }
      const int32_t sample = (from[i] * voice->gain) >> 15;
      sum[i] += static_cast<int32_t>((static_cast<int64_t>(sample) * voice->envelope) >> 16);
    }
  }
  voice->started = true;
  voice->position += static_cast<uint32_t>(done);
  if (voice->position >= voice->length || voice->envelope <= 0) *voice = MixerVoice();
}

}  // namespace

void mixerInit(Mixer* mixer, int voiceCount, int rate) {
  *mixer = Mixer();
  mixer->voiceCount = std::clamp(voiceCount, 1, kMixerMaxVoices);
  const int cutSamples = std::max(1, rate * kMixerCutMs / 1000);
  const int releaseSamples = std::max(1, rate * kMixerReleaseMs / 1000);
  mixer->cutStep = (kWhole + cutSamples - 1) / cutSamples;
  mixer->releaseStep = (kWhole + releaseSamples - 1) / releaseSamples;
  mixer->limiterRecovery = static_cast<float>(std::exp(-1.0 / (rate * kRecoverySeconds)));
}

void mixerApply(Mixer* mixer, const MixerCommand& command) {
  switch (command.action) {
    case MixerAction::Start:
      start(mixer, command);
      return;
    case MixerAction::StopAll:
      for (MixerVoice& voice : mixer->voices)
        if (sounding(voice)) cut(mixer, &voice);
      return;
    case MixerAction::NoteOff:
      // With one voice a note sounds as a key does: to its end or the next one.
      if (mixer->voiceCount == 1) return;
      for (MixerVoice& voice : mixer->voices) {
        if (voice.note != command.note || !voice.held) continue;
        voice.held = false;
        if (!mixer->sustain[command.note / 128]) damp(mixer, &voice);
      }
      return;
    case MixerAction::Pedal:
      if (mixer->voiceCount == 1 || command.channel < 0 || command.channel > 15) return;
      mixer->sustain[command.channel] = command.down;
      if (command.down) return;
      for (MixerVoice& voice : mixer->voices)
        if (voice.note != kMixerNoNote && voice.note / 128 == command.channel && !voice.held)
          damp(mixer, &voice);
      return;
  }
}

bool mixerRender(Mixer* mixer, int16_t* out, int samples) {
  constexpr int kChunk = 256;
  int32_t sum[kChunk];
  bool firstHeard = false;
  for (int done = 0; done < samples; done += kChunk) {
    const int n = std::min(kChunk, samples - done);
    std::fill(sum, sum + n, 0);
    int count = 0;  // voices sounding; a cut's short tail is not one
    for (MixerVoice& voice : mixer->voices) {
      if (voice.stage == VoiceStage::Free) continue;
      if (sounding(voice)) count++;
      if (!voice.started) firstHeard = true;
      addVoice(&voice, sum, n);
    }
    // One voice alone is never limited, so it stays as recorded; the gain
    // only comes down where two or more would pass the ceiling together.
    const bool limit = count >= 2;
    float gain = mixer->limiterGain;
    for (int i = 0; i < n; i++) {
      if (gain < 1.0f) {
        gain = 1.0f - (1.0f - gain) * mixer->limiterRecovery;
        if (gain > 0.9995f) gain = 1.0f;  // 16 steps at most at full scale
      }
      const float level = std::fabs(static_cast<float>(sum[i]));
      if (limit && level * gain > kMixerCeiling) gain = kMixerCeiling / level;
      const int32_t sample =
          gain == 1.0f ? sum[i]
                       : static_cast<int32_t>(std::lrint(static_cast<float>(sum[i]) * gain));
      out[done + i] = static_cast<int16_t>(std::clamp(sample, -32768, 32767));
    }
    mixer->limiterGain = gain;
  }
  return firstHeard;
}

bool mixerSounding(const Mixer& mixer, unsigned long long serial) {
  for (const MixerVoice& voice : mixer.voices)
    if (voice.stage != VoiceStage::Free && (serial == 0 || voice.serial == serial)) return true;
  return false;
}
