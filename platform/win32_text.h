// win32_text.h: Windows' UTF-16 text in the UTF-8 the rest of the program
// uses. Windows only.
#ifndef PLINKAR_PLATFORM_WIN32_TEXT_H
#define PLINKAR_PLATFORM_WIN32_TEXT_H

#include <windows.h>

#include <string>

inline std::string utf8FromWide(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string text(static_cast<size_t>(size - 1), '\0');
  // The terminating null goes where std::string keeps its own.
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], size, nullptr, nullptr);
  return text;
}

#endif  // PLINKAR_PLATFORM_WIN32_TEXT_H
