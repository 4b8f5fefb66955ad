#pragma once
// Helpers for tests that set up a machine: files, folders and registry keys,
// each put back by RAII, and a guard that keeps them off anything but Wine.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "unique_resource.h"

// An open registry key, closed as the toolkit's holders close theirs.
using RegistryKey = UniqueResource<HandleKind<HKEY, &RegCloseKey>>;

namespace testsupport {

// True when this process runs under Wine (ntdll exports wine_get_version).
bool running_under_wine();

// True when tests may change this machine: under Wine, or where
// DRIVER_TOOLS_THROWAWAY_MACHINE=1 says so (a runner thrown away afterwards).
bool throwaway_machine();

// Whether condition holds, asked every few milliseconds until it does or
// milliseconds have passed: for what another process does in its own time.
bool eventually(const std::function<bool()>& condition,
                unsigned long milliseconds);

// The system folder, as GetSystemDirectoryW names it (no trailing backslash).
std::wstring system_folder();

// Writes bytes to path, creating or replacing the file.
void write_file(const std::wstring& path, const std::string& bytes);

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::wstring& path);

bool path_exists(const std::wstring& path);
// True when path (full) itself is a link: a junction or a symbolic link, to
// a folder or a file.
bool is_link(const std::wstring& path);
bool is_directory(const std::wstring& path);

// The names a search for pattern returns, in its order, without "." and "..".
std::vector<std::wstring> listed(const std::wstring& pattern);

// Creates path and any missing parent folders.
void make_folders(const std::wstring& path);

// Deletes a file, or a folder with everything under it; quiet if absent. A
// link is deleted itself, never what it points to.
void remove_tree(const std::wstring& path);

// Renames from to to in folder, from the Unix side: either may be a name
// Windows forbids (a double quote, say) but Wine shows as it is. False
// anywhere but under Wine, or if it did not happen.
bool rename_in_unix(const std::wstring& folder, const std::wstring& from,
                    const std::wstring& to);

// Makes link a link to target, a folder (a junction on Windows) or a file (a
// symbolic link). Removing the link with remove_tree leaves the target as it
// was.
void make_link(const std::wstring& link, const std::wstring& target);

// Removes a file or folder tree when it goes out of scope (and, if asked,
// at the start too, so that leftovers of a crashed run do not count).
class ScopedPath {
 public:
  explicit ScopedPath(std::wstring path, bool clear_first = true);
  ~ScopedPath();
  ScopedPath(const ScopedPath&) = delete;
  ScopedPath& operator=(const ScopedPath&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// A key under HKEY_LOCAL_MACHINE in the 64-bit view, deleted with its
// subkeys when it goes out of scope.
class ScopedKey {
 public:
  // Creates subkey (a path below HKLM) with the given string values.
  ScopedKey(
      std::wstring subkey,
      const std::vector<std::pair<std::wstring, std::wstring>>& values = {});
  ~ScopedKey();
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

 private:
  std::wstring subkey_;
};

// A string value of a key below HKLM (64-bit view) set to value while in
// scope, and put back as it was afterwards.
class ScopedValue {
 public:
  ScopedValue(std::wstring subkey, std::wstring name,
              const std::wstring& value);
  ~ScopedValue();
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

 private:
  std::wstring subkey_, name_, was_;
  bool existed_ = false;
};

// Whether subkey exists below HKLM in the 64-bit view.
bool key_exists(const std::wstring& subkey);

// Deletes subkey below HKLM (64-bit view) with its subkeys; quiet if absent.
void delete_key_tree(const std::wstring& subkey);

// A fresh scratch folder under c:\tarvex-tests\, removed afterwards.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name);
  const std::wstring& path() const { return scoped_.path(); }

 private:
  ScopedPath scoped_;
};

}  // namespace testsupport
