#pragma once
// Holding the package from the moment it is checked until Windows Installer
// has read it: opened as itself, to read, sharing reading only, so that
// while any copy of the handle is open nobody can change, rename or delete
// the file, nor put another in its place.

#include <windows.h>

#include <string>

#include "package_guard.h"
#include "unique_resource.h"

// Opens name, in the current folder (listed: the attributes its search gave),
// as itself into *held and records in *facts whether it opened and is a
// plain file reached through no link; if so, *folder gets the folder it is
// really in (its handle's final path, as a current folder is given).
void hold_package(const wchar_t* name, DWORD listed, FileHandle* held,
                  std::wstring* folder, PackageFacts* facts);
