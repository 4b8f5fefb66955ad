#pragma once
// The file search matches a pattern against a file's 8.3 short name as well
// as its long name, so "oem*.inf" also finds oem9.infbak (OEM9~1.INF) and
// "*.msi" finds x.msix. A program that acts on what it found checks the long
// name itself.

// True when name has the form head + anything + tail, letters compared
// without regard to case as the file system compares them.
bool long_name_fits(const wchar_t* name, const wchar_t* head,
                    const wchar_t* tail);
