#include "platform/sound_win32.h"

#include <windows.h>
// After <windows.h>, whose types it uses.
#include <mmsystem.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32_text.h"

static bool hasHighBytes(const char* name) {
  for (const char* p = name; *p; p++)
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
  return false;
}

bool widenCp949(const char* name, wchar_t* wide, int capacity) {
  const int n = MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, name, -1, wide, capacity);
  return n > 0;
}

// Bytes that are not code page 949 are read as the ANSI call would read them.
static bool widenName(const char* name, wchar_t* wide, int capacity) {
  if (hasHighBytes(name) && widenCp949(name, wide, capacity)) return true;
  return MultiByteToWideChar(CP_ACP, 0, name, -1, wide, capacity) > 0;
}

std::string utf8FromAnsiName(const char* name) {
  std::wstring wide(MAX_PATH, L'\0');
  if (!widenName(name, &wide[0], MAX_PATH)) return name;
  return utf8FromWide(wide.c_str());
}

// Keys and MIDI notes play from different threads.
static std::mutex cacheMutex;

// The whole file, read on first use and kept for the rest of the run, so the
// sound playing from it never loses its bytes. Null when it cannot be read.
// Under cacheMutex.
static const std::vector<char>* cachedSound(const char* name) {
  static std::map<std::string, std::vector<char>> cache;
  auto found = cache.find(name);
  if (found != cache.end()) return &found->second;
  wchar_t wide[MAX_PATH];
  if (!widenName(name, wide, MAX_PATH)) return nullptr;
  HANDLE file = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  std::vector<char> bytes;
  LARGE_INTEGER size;
  bool read = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 30);
  if (read) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
           got == bytes.size();
  }
  CloseHandle(file);
  if (!read) return nullptr;
  return &cache.emplace(name, std::move(bytes)).first->second;
}

void sndPreloadAnyCodePage(const char* name) {
  std::lock_guard<std::mutex> lock(cacheMutex);
  cachedSound(name);
}

int sndPlaySoundAnyCodePage(const char* name, unsigned flags) {
  std::lock_guard<std::mutex> lock(cacheMutex);
  if (!name) return PlaySoundW(nullptr, nullptr, 0) ? 1 : 0;
  const std::vector<char>* sound = cachedSound(name);
  if (!sound) {
    PlaySoundW(nullptr, nullptr, 0);
    return 0;
  }
  return PlaySoundW(reinterpret_cast<LPCWSTR>(sound->data()), nullptr,
                    SND_MEMORY | SND_NODEFAULT | flags)
             ? 1
             : 0;
}
