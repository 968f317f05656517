// sound_win32.h: the sound call on Windows.
#ifndef PLINKAR_PLATFORM_SOUND_WIN32_H
#define PLINKAR_PLATFORM_SOUND_WIN32_H

// The guitar's file names carry code-page-949 bytes, which the ANSI call only
// finds where 949 is the ANSI code page. Names with such bytes are converted
// from 949 and played with PlaySoundW; the rest go to sndPlaySoundA as they
// are. Returns what the winmm call returns.
int sndPlaySoundAnyCodePage(const char* name, unsigned flags);

// The wide form of a code-page-949 name, at most `capacity` characters with
// the terminating null. False when it does not convert or does not fit.
bool widenCp949(const char* name, wchar_t* wide, int capacity);

#endif  // PLINKAR_PLATFORM_SOUND_WIN32_H
