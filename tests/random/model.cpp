#include "model.h"

#include <windows.h>

#include <string.h>

#include <cwctype>

namespace model {

namespace {

const wchar_t* const kMarkers[] = {L"DevedoZudi", L"Nelvora"};
const size_t kPiece = 255;

std::wstring crlf_to_lf(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
      continue;
    out += text[i];
  }
  return out;
}

std::wstring from_utf8(const std::string& bytes) {
  std::wstring out(bytes.size(), L'\0');
  int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(),
                                   static_cast<int>(bytes.size()), &out[0],
                                   static_cast<int>(out.size()));
  out.resize(static_cast<size_t>(length > 0 ? length : 0));
  return out;
}

std::wstring from_utf16le(const std::string& bytes) {
  std::wstring out(bytes.size() / 2, L'\0');
  memcpy(&out[0], bytes.data(), out.size() * sizeof(wchar_t));
  return out;
}

}  // namespace

std::wstring inf_text(const std::string& bytes) {
  std::wstring text;
  for (char byte : bytes) {
    if (byte == '\x1a') break;
    text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
  }
  return crlf_to_lf(text);
}

std::wstring setup_ini_text(const std::string& bytes) {
  if (bytes.compare(0, 3, "\xef\xbb\xbf") == 0) {
    return crlf_to_lf(from_utf8(bytes.substr(3)));
  }
  if (bytes.compare(0, 2, "\xff\xfe") == 0) {
    return crlf_to_lf(from_utf16le(bytes.substr(2)));
  }
  return crlf_to_lf(from_utf8(bytes));
}

bool names_vendor(const std::wstring& text) {
  std::vector<std::wstring> pieces;
  std::wstring piece;
  for (wchar_t c : text) {
    piece += c;
    if (c == L'\n' || piece.size() == kPiece) {
      pieces.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  for (std::wstring& p : pieces) {
    p = p.substr(0, p.find(L'\0'));
    for (const wchar_t* marker : kMarkers) {
      if (p.find(marker) != std::wstring::npos) return true;
    }
  }
  return false;
}

bool narrow(const std::wstring& wide, std::string* out) {
  out->clear();
  for (wchar_t c : wide) {
    if (c > 0xFF) return false;
    *out += static_cast<char>(c);
  }
  return true;
}

bool usable_inf_name(const std::wstring& name) {
  std::wstring lower;
  for (wchar_t c : name) lower += static_cast<wchar_t>(std::towlower(c));
  return lower.size() >= 7 && lower.compare(0, 3, L"oem") == 0 &&
         lower.compare(lower.size() - 4, 4, L".inf") == 0 &&
         name.find_first_of(L" \t\"") == std::wstring::npos;
}

bool opens_as(const std::string& narrow, const std::wstring& wide) {
  wchar_t back[600];
  int length = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, back, 600);
  return length > 0 && wide == back;
}

std::string echo(const std::wstring& line) {
  std::string text = "\r\n";
  for (wchar_t c : line) text += c <= 0xFF ? static_cast<char>(c) : '?';
  return text + "\r\n";
}

std::wstring msiexec_line(const std::wstring& msi_name, bool quiet) {
  return L"/i \"" + msi_name + L"\"" + (quiet ? L" /quiet /qn" : L"");
}

bool quiet(const std::vector<std::string>& arguments) {
  return arguments.size() == 1 &&
         (arguments[0] == "/s" || arguments[0] == "/S");
}

}  // namespace model
