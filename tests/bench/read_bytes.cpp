// The benchmark's baseline: enumerates c:\windows\inf\oem*.inf as tarvex
// does and reads every byte of each file with ReadFile, doing nothing else.
// Part of the test suite, never shipped.
// Usage: bench_read_bytes [folder prefix to open the files by, default
// "c:\windows\inf\"]. tarvex opens them as "c:\Windows\INF\" + name.
#include <stdio.h>
#include <windows.h>

#include "unique_resource.h"

int wmain(int argc, wchar_t** argv) {
  const wchar_t* prefix = argc > 1 ? argv[1] : L"c:\\windows\\inf\\";
  static char buffer[1 << 16];
  unsigned long long total = 0;
  WIN32_FIND_DATAW match;
  SearchHandle search(FindFirstFileW(L"c:\\windows\\inf\\oem*.inf", &match));
  if (!search.valid()) return 1;
  do {
    wchar_t path[2 * MAX_PATH];
    wcscpy_s(path, prefix);
    wcscat_s(path, match.cFileName);
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr));
    if (!file.valid()) continue;
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) &&
           got > 0) {
      total += got;
    }
  } while (FindNextFileW(search.get(), &match));
  printf("%llu\n", total);
  return 0;
}
