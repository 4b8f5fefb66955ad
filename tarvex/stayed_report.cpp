#include "stayed_report.h"

#include <stdio.h>

namespace {

const wchar_t kBetween[] = L" - ";
const wchar_t kMoreTail[] = L" more entries could not be removed.";
const wchar_t kUnknownMessageHead[] = L"Error ";
const wchar_t kLineEnd[] = L"\r\n";
const DWORD kMessageChars = 512;

// Writes text to standard output: to a console as it is, elsewhere in the
// console's code page, as the command interpreter wrote its own lines.
void write_out(const std::wstring& text) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(output, &mode)) {
    WriteConsoleW(output, text.c_str(), static_cast<DWORD>(text.size()),
                  &written, nullptr);
    return;
  }
  UINT code_page = GetConsoleOutputCP();
  if (code_page == 0) code_page = GetOEMCP();
  const int bytes = WideCharToMultiByte(code_page, 0, text.c_str(),
                                        static_cast<int>(text.size()), nullptr,
                                        0, nullptr, nullptr);
  if (bytes <= 0) return;
  std::string narrow(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(code_page, 0, text.c_str(), static_cast<int>(text.size()),
                      &narrow[0], bytes, nullptr, nullptr);
  WriteFile(output, narrow.data(), static_cast<DWORD>(narrow.size()), &written,
            nullptr);
}

}  // namespace

std::vector<std::wstring> stayed_lines(const std::vector<StayedEntry>& stayed,
                                       size_t most,
                                       std::wstring (*message_of)(DWORD)) {
  std::vector<std::wstring> lines;
  const size_t named =
      stayed.size() <= most ? stayed.size() : (most == 0 ? 0 : most - 1);
  for (size_t i = 0; i < named; ++i) {
    lines.push_back(stayed[i].path + kBetween + message_of(stayed[i].error));
  }
  if (named < stayed.size() && most > 0)
    lines.push_back(std::to_wstring(stayed.size() - named) + kMoreTail);
  return lines;
}

std::wstring system_message(DWORD error) {
  wchar_t text[kMessageChars];
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, text, kMessageChars, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
    --length;
  if (length == 0) return kUnknownMessageHead + std::to_wstring(error);
  return std::wstring(text, length);
}

void report_stayed(const std::vector<StayedEntry>& stayed) {
  for (const std::wstring& line :
       stayed_lines(stayed, kMostStayedLines, system_message)) {
    write_out(line + kLineEnd);
  }
}
