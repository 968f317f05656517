// sound_win32.h: the sound call on Windows.
#ifndef PLINKAR_PLATFORM_SOUND_WIN32_H
#define PLINKAR_PLATFORM_SOUND_WIN32_H

#include <string>

// sndPlaySoundA's contract on winmm's PlaySoundW. The guitar's file names
// carry code-page-949 bytes, which the ANSI call only finds where 949 is the
// ANSI code page, and winmm's own file opening misses such names elsewhere
// (under Wine) even once converted. So names with such bytes are converted
// from 949, every file is read with CreateFileW into a cache by name, and
// played from memory. A null name stops the sound; a file that cannot be
// read stops it too and returns 0. Returns 1 when PlaySoundW succeeds.
// Safe from several threads (keys and MIDI notes).
int sndPlaySoundAnyCodePage(const char* name, unsigned flags);

// Reads the file into that cache now, so that its first note waits for no
// disk.
void sndPreloadAnyCodePage(const char* name);

// The name in UTF-8, read as sndPlaySoundAnyCodePage reads it: code page 949
// where it reads so, else the ANSI code page.
std::string utf8FromAnsiName(const char* name);

// The wide form of a code-page-949 name, at most `capacity` characters with
// the terminating null. False when it does not convert or does not fit.
bool widenCp949(const char* name, wchar_t* wide, int capacity);

#endif  // PLINKAR_PLATFORM_SOUND_WIN32_H
