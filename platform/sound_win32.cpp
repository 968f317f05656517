#include "platform/sound_win32.h"

#include <windows.h>
// After <windows.h>, whose types it uses.
#include <mmsystem.h>

static bool hasHighBytes(const char* name) {
  for (const char* p = name; *p; p++)
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
  return false;
}

bool widenCp949(const char* name, wchar_t* wide, int capacity) {
  const int n = MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, name, -1, wide, capacity);
  return n > 0;
}

int sndPlaySoundAnyCodePage(const char* name, unsigned flags) {
  if (name && hasHighBytes(name)) {
    wchar_t wide[MAX_PATH];
    if (widenCp949(name, wide, MAX_PATH))
      return PlaySoundW(wide, nullptr, SND_FILENAME | flags) ? 1 : 0;
  }
  return sndPlaySoundA(name, flags);
}
