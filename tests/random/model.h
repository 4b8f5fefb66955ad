#pragma once
// An independent model of what the programs must do, written from their
// description alone and sharing no code with them: how a file reads as text,
// which file or entry names a vendor, which lines the launchers build.

#include <string>
#include <vector>

namespace model {

// The INF reading: narrow text mode in the "C" locale. Ctrl-Z ends the text,
// CR LF becomes LF, every byte is one character.
std::wstring inf_text(const std::string& bytes);

// The setup.ini reading: UTF-8 unless a UTF-8 or UTF-16 LE byte-order mark
// says otherwise; CR LF becomes LF.
std::wstring setup_ini_text(const std::string& bytes);

// Whether any piece of the text (a line, or 255 characters of a longer one,
// each searched up to its first null) contains one of the markers.
bool names_vendor(const std::wstring& text);

// The narrow form of a name in the "C" locale; false if a character is above
// U+00FF.
bool narrow(const std::wstring& wide, std::string* out);

// Whether tarvex may act on a name the driver-store search returned: the long
// name itself is oem*.inf in any case, with no blank, tab or double quote.
bool usable_inf_name(const std::wstring& name);

// Whether a narrow name, opened through the ANSI code page, names exactly
// the file or key that wide names.
bool opens_as(const std::string& narrow, const std::wstring& wide);

// What installer's visible echo prints (through a pipe, in text mode):
// CR LF, the line with "?" for each character above U+00FF, CR LF.
std::string echo(const std::wstring& line);

// The msiexec argument line installer must build.
std::wstring msiexec_line(const std::wstring& msi_name, bool quiet);

// Whether installer runs quietly for these arguments.
bool quiet(const std::vector<std::string>& arguments);

}  // namespace model
