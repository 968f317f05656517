// sound.h: the Windows sound call the player uses, on SDL2 audio; on Windows
// the real one from winmm.
//
// Keeps the three effects the player relies on: playback starts at once and
// the call returns; a new call cuts off the sound still playing; a null name
// only stops. Paths may use backslashes and code-page-949 bytes; files on disk
// have '/' separators and UTF-8 names. A missing file is silent.
#ifndef PLINKAR_PLATFORM_SOUND_H
#define PLINKAR_PLATFORM_SOUND_H

#define SND_ASYNC 0x0001

#include "platform/mixer.h"

#ifdef _WIN32
// winmm declares its own sndPlaySoundA; the player's call takes another name
// there. With one voice it is winmm's PlaySoundW (platform/sound_win32.h).
#define sndPlaySoundA soundPlayFile
#endif

// Returns 1 when the sound started (or was stopped, for a null name), else 0.
// Cut sounds fade out over a few milliseconds instead of stopping dead.
int sndPlaySoundA(const char* name, unsigned flags);

// Starts audio now instead of on the first sound, whose key would otherwise
// wait for the device to open (150 ms on a sound server).
void soundStart();

// How many sounds may ring together, 1 to 32, from the next audio start. With
// more than 1 a new sound takes a free voice instead of cutting off the last,
// and when all are busy the one that started first; a null name still stops
// them all. 1, the default, keeps the contract above (on Windows by winmm
// itself).
void soundSetVoices(int count);

// Reads and converts a sound now (starting audio), so that playing it later
// reads no file. Sounds stay loaded until audio shuts down.
void soundPreload(const char* name);

// sndPlaySoundA(name, SND_ASYNC) for a MIDI note, from any thread; with a
// loaded sound it neither locks, waits nor allocates. With more than one
// voice the level (0 to 1, 1 as recorded) scales it and the note
// (mixerNote(channel, number), or kMixerNoNote) lets soundNoteOff damp it.
int soundPlay(const char* name, float level, int note);

// The note's key went up: damped unless its channel's sustain pedal is down.
void soundNoteOff(int note);
// The channel's sustain pedal; lifting it damps every note whose key is up.
void soundSustain(int channel, bool down);

// While set, sndPlaySoundA on this thread does nothing: a MIDI note's key is
// shown on the player's thread after its sound started on the MIDI thread.
void soundMuteThisThread(bool muted);

#endif  // PLINKAR_PLATFORM_SOUND_H
