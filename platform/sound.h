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

#ifdef _WIN32
// winmm's own call, by way of the wrapper that also finds code-page-949 names
// where that is not the ANSI code page.
#include "platform/sound_win32.h"
#define sndPlaySoundA sndPlaySoundAnyCodePage
#else
// Returns 1 when the sound started (or was stopped, for a null name), else 0.
int sndPlaySoundA(const char* name, unsigned flags);

// Starts audio now instead of on the first sound, whose key would otherwise
// wait for the device to open (150 ms on a sound server).
void soundStart();

// How many sounds may ring together, 1 to 32, from the next audio start. With
// more than 1 a new sound takes a free voice instead of cutting off the last,
// and when all are busy the one that started first; a null name still stops
// them all. 1, the default, keeps the contract above.
void soundSetVoices(int count);

// The level of the sounds started from now on, 0 to 1 (1, the default: as
// recorded). Heard only with more than one voice.
void soundSetLevel(float level);
#endif

#endif  // PLINKAR_PLATFORM_SOUND_H
