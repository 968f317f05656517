// Run under Wine from a directory with wav/: every guitar file name, in the
// code-page-949 bytes the player passes to the sound call, must name a file
// on disk once converted, whatever the ANSI code page.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <initializer_list>

#include "platform/sound_win32.h"

int wmain() {
  int failures = 0;
  auto check = [&](bool ok, const char* what, const char* chord = "") {
    if (!ok) failures += std::printf("FAIL: %s%s\n", what, chord) > 0;
  };
  wchar_t wide[MAX_PATH];
  check(widenCp949("\xC5\xEB\xB1\xE2\xC5\xB8", wide, MAX_PATH) &&
            std::wcscmp(wide, L"\uD1B5\uAE30\uD0C0") == 0,
        "code page 949 does not give the Korean word");
  for (const char* chord : {"Am", "C", "D", "E6", "F", "G7"}) {
    char path[64];
    std::snprintf(path, sizeof path, "wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8%s.wav", chord);
    check(widenCp949(path, wide, MAX_PATH) && GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES,
          "no file for the chord ", chord);
  }
  // Not there: the call returns 0 without a sound rather than failing hard.
  check(sndPlaySoundAnyCodePage("wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8none.wav", SND_ASYNC) == 0 &&
            sndPlaySoundAnyCodePage("wav\\none.wav", SND_ASYNC) == 0,
        "a missing file is reported as played");
  std::printf(failures ? "sound names: %d failed\n" : "sound names: ok\n", failures);
  return failures ? 1 : 0;
}
