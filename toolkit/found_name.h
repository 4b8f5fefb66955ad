#pragma once
// Checks on a name a file search returned, before a program acts on it: the
// search also matches 8.3 short names, and a narrow name can open another
// file than the wide name that was found.

// True when name has the form head + anything + tail, letters compared
// without regard to case as the file system compares them. The search
// matches a pattern against the 8.3 short name as well: "oem*.inf" finds
// oem9.infbak as OEM9~1.INF, "*.msi" finds x.msix.
bool long_name_fits(const wchar_t* name, const wchar_t* head,
                    const wchar_t* tail);

// True when narrow, read back through the ANSI code page the way CreateFileA,
// fopen and RegDeleteKeyExA read a name, gives exactly wide: the file or key
// the narrow name opens is then the one that wide names.
bool reads_back_as(const char* narrow, const wchar_t* wide);
