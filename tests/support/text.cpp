#include "text.h"

#include <windows.h>

#include <cwctype>

namespace testsupport {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, nullptr, 0,
                                  nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), size, &out[0], bytes, nullptr,
                      nullptr);
  return out;
}

std::string utf16le(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::string bytes_of(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += static_cast<char>(c);
  return out;
}

std::wstring widened(const std::string& bytes) {
  std::wstring out;
  for (char c : bytes)
    out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::vector<std::string> split(const std::string& text,
                               const std::string& separator) {
  std::vector<std::string> pieces;
  for (size_t start = 0, end;
       (end = text.find(separator, start)) != std::string::npos;
       start = end + separator.size()) {
    pieces.push_back(text.substr(start, end - start));
  }
  return pieces;
}

std::wstring short_name(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  std::wstring full(buffer, length < MAX_PATH ? length : 0);
  return full.substr(full.find_last_of(L'\\') + 1);
}

}  // namespace testsupport
