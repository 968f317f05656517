// Run under Wine from a directory with wav/: every guitar file name, in the
// code-page-949 bytes the player passes to the sound call, must name a file
// on disk once converted, whatever the ANSI code page.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "platform/sound_win32.h"

int wmain() {
  const char* const names[6] = {"Am", "C", "D", "E6", "F", "G7"};
  int failures = 0;
  wchar_t wide[MAX_PATH];
  if (!widenCp949("\xC5\xEB\xB1\xE2\xC5\xB8", wide, MAX_PATH) ||
      std::wcscmp(wide, L"\uD1B5\uAE30\uD0C0") != 0) {
    std::printf("FAIL: code page 949 does not give the Korean word\n");
    failures++;
  }
  for (const char* chord : names) {
    char path[64];
    std::snprintf(path, sizeof path, "wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8%s.wav", chord);
    if (!widenCp949(path, wide, MAX_PATH)) {
      std::printf("FAIL: %s does not convert\n", chord);
      failures++;
    } else if (GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES) {
      std::printf("FAIL: no file for the %s chord\n", chord);
      failures++;
    }
  }
  // Not there: the call returns 0 without a sound rather than failing hard.
  if (sndPlaySoundAnyCodePage("wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8none.wav", SND_ASYNC) != 0 ||
      sndPlaySoundAnyCodePage("wav\\none.wav", SND_ASYNC) != 0) {
    std::printf("FAIL: a missing file is reported as played\n");
    failures++;
  }
  std::printf(failures ? "sound names: %d failed\n" : "sound names: ok\n", failures);
  return failures ? 1 : 0;
}
