// Run under Wine with a program's path: prints what Windows reads of its
// version information and its manifest, one "name=value" line each, and the
// manifest's text after "manifest:".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32_text.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, info.data())) {
    std::printf("no version information\n");
    return 1;
  }
  for (const wchar_t* name : {L"ProductName", L"ProductVersion", L"FileVersion", L"FileDescription",
                              L"CompanyName", L"LegalCopyright"}) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
      std::printf("%s=%s\n", utf8FromWide(name).c_str(), utf8FromWide(value).c_str());
  }
  HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC manifest = module ? FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
  if (manifest == nullptr) {
    std::printf("no manifest\n");
    return 1;
  }
  const char* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
  std::printf("manifest:\n%.*s\n", static_cast<int>(SizeofResource(module, manifest)), text);
  return 0;
}
