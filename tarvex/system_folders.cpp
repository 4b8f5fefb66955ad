#include "system_folders.h"

#include <wchar.h>
#include <windows.h>

#include <string>

#include "bounded_text.h"

namespace {

const wchar_t kCurrentVersionKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kProgramFilesX86Value[] = L"ProgramFilesDir (x86)";
// Room for any folder these texts can be built on: longer ones do not fit
// any of the texts' buffers anyway.
const size_t kFolderChars = MAX_PATH;

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The part of literal after standard, if literal begins with it.
template <typename Char>
const Char* rest_after(const Char* literal, const char* standard) {
  for (; *standard != '\0'; ++literal, ++standard) {
    if (*literal == Char(0)) return nullptr;
    const unsigned c = static_cast<unsigned>(*literal);
    const unsigned s = static_cast<unsigned char>(*standard);
    if (c > 0x7F ||
        towlower(static_cast<wint_t>(c)) != towlower(static_cast<wint_t>(s)))
      return nullptr;
  }
  return literal;
}

// system without trailing separators, if it is standard but for case.
bool is_standard(const std::wstring& system, const char* standard) {
  const wchar_t* rest = rest_after(system.c_str(), standard);
  return rest != nullptr && *rest == L'\0';
}

template <typename Char>
bool build(const wchar_t* system, const char* standard, const Char* literal,
           Char* text, size_t capacity) {
  const Char* rest = rest_after(literal, standard);
  if (system == nullptr || rest == nullptr) return refuse_text(text, capacity);
  std::wstring folder = system;
  while (!folder.empty() && is_separator(folder.back())) folder.pop_back();
  if (folder.empty()) return refuse_text(text, capacity);
  if (is_standard(folder, standard)) return copy_text(text, capacity, literal);
  if constexpr (sizeof(Char) == sizeof(char)) {
    char narrow[kFolderChars];
    if (!narrow_text(folder.c_str(), narrow, sizeof narrow))
      return refuse_text(text, capacity);
    return compose_text(text, capacity,
                        {static_cast<const char*>(narrow), rest});
  } else {
    return compose_text(text, capacity, {folder.c_str(), rest});
  }
}

// A folder read once, kept for the process's life; null if none was read.
const wchar_t* kept(const std::wstring& folder) {
  return folder.empty() ? nullptr : folder.c_str();
}

}  // namespace

bool build_on_folder(const wchar_t* system, const char* standard,
                     const char* literal, char* text, size_t capacity) {
  return build(system, standard, literal, text, capacity);
}

bool build_on_folder(const wchar_t* system, const char* standard,
                     const wchar_t* literal, wchar_t* text, size_t capacity) {
  return build(system, standard, literal, text, capacity);
}

const wchar_t* system_windows_folder() {
  static const std::wstring folder = [] {
    wchar_t read[kFolderChars];
    const UINT length = GetSystemWindowsDirectoryW(read, kFolderChars);
    // 0 is a failure, kFolderChars or more the room it would need.
    return length == 0 || length >= kFolderChars ? std::wstring()
                                                 : std::wstring(read, length);
  }();
  return kept(folder);
}

const wchar_t* system_program_files_x86() {
  static const std::wstring folder = [] {
    wchar_t read[kFolderChars];
    DWORD bytes = sizeof read;
    // A plain string only: an expandable one would take its parts from
    // variables of the environment, which the user who started tarvex sets.
    const LSTATUS status = RegGetValueW(
        HKEY_LOCAL_MACHINE, kCurrentVersionKey, kProgramFilesX86Value,
        RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, read, &bytes);
    return status == ERROR_SUCCESS ? std::wstring(read) : std::wstring();
  }();
  return kept(folder);
}
