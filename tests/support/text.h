#pragma once
// The tests' text helpers: how files and logs carry text, and names.

#include <string>
#include <vector>

namespace testsupport {

// UTF-8, as Wine keeps names and the stand-in logs its lines.
std::string utf8(const std::wstring& text);

// UTF-16 little-endian bytes, without a byte-order mark.
std::string utf16le(const std::wstring& text);

// Each character to the byte of the same value (the "C" locale's narrowing
// of text that holds nothing above U+00FF).
std::string bytes_of(const std::wstring& text);

// Each byte to the character of the same value.
std::wstring widened(const std::string& bytes);

std::wstring lower(std::wstring text);

// The pieces of text that each end in separator (a last piece without one
// is dropped, as an unfinished log line is).
std::vector<std::string> split(const std::string& text,
                               const std::string& separator);

// The 8.3 short name of the file or folder at path (its last part).
std::wstring short_name(const std::wstring& path);

}  // namespace testsupport
