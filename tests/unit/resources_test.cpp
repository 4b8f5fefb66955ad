// Each built program's version resource and manifest, read back from the
// file the way Windows reads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "machine.h"
#include "programs.h"
#include "text.h"

namespace {

struct Deliverable {
  std::wstring file;
  const wchar_t* description;
  const wchar_t* version;
  const char* level;
  std::wstring name() const { return file.substr(0, file.size() - 4); }
};

const Deliverable kDeliverables[] = {
    {L"tarvex.exe", L"uninstall old driver", L"1.0.0.4",
     "requireAdministrator"},
    {L"installer.exe", L"installer", L"1.0.0.2", "requireAdministrator"},
    {L"install.exe", L"install utility", L"1.0.0.1", "asInvoker"},
};

std::wstring string_value(std::vector<BYTE>& info, const std::wstring& key) {
  void* value = nullptr;
  UINT length = 0;
  std::wstring path = L"\\StringFileInfo\\040904b0\\" + key;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length)) return L"";
  return static_cast<const wchar_t*>(value);
}

TEST(Resources, VersionResourceSaysWhatEachDeliverableSays) {
  for (const Deliverable& d : kDeliverables) {
    SCOPED_TRACE(testing::Message() << d.version);
    std::wstring path = testsupport::program_path(d.file);
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\",
                               reinterpret_cast<void**>(&fixed), &length));
    WORD n[4] = {};
    swscanf_s(d.version, L"%hu.%hu.%hu.%hu", &n[0], &n[1], &n[2], &n[3]);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(n[1], n[0])));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(n[3], n[2])));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(string_value(info, L"FileDescription"), d.description);
    EXPECT_EQ(string_value(info, L"FileVersion"), d.version);
    EXPECT_EQ(string_value(info, L"ProductVersion"), d.version);
    EXPECT_EQ(string_value(info, L"InternalName"), d.name());
    EXPECT_EQ(string_value(info, L"OriginalFilename"), d.file);
    EXPECT_EQ(string_value(info, L"ProductName"), d.name());
  }
}

BOOL CALLBACK count_language(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK collect_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(
      IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
  return TRUE;
}

TEST(Resources, ExactlyOneManifestWithTheDeliverablesExecutionLevel) {
  for (const Deliverable& d : kDeliverables) {
    SCOPED_TRACE(testing::Message() << d.version);
    HMODULE module = LoadLibraryExW(
        testsupport::program_path(d.file).c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);

    std::vector<ULONG_PTR> names;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(24), collect_name,
                       reinterpret_cast<LONG_PTR>(&names));
    ASSERT_EQ(names, std::vector<ULONG_PTR>{1});
    int languages = 0;
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1),
                           count_language,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, 1);

    HRSRC found =
        FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const char* text =
        static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string manifest(text, SizeofResource(module, found));
    EXPECT_NE(manifest.find(std::string("requestedExecutionLevel level=\"") +
                            d.level + "\""),
              std::string::npos)
        << manifest;
    FreeLibrary(module);
  }
}

// The libraries a program may import: each is a KnownDLL, which Windows
// maps from its own list of the system folder's files, never from beside the
// program; so is everything such a library imports itself.
const char* const kKnownDllImports[] = {"advapi32.dll", "kernel32.dll",
                                        "msvcrt.dll", "ole32.dll"};
// On Windows advapi32's export forwards to cryptbase.dll, which is not a
// KnownDLL: imported statically, it would be looked for beside the program.
const char kForwardedGenerator[] = "SystemFunction036";
// Where the 64-bit load configuration keeps DependentLoadFlags (not every
// SDK names the field).
const DWORD kDependentLoadFlagsAt = 78;

// A built program's file, read back as the loader reads it.
class PortableExecutable {
 public:
  explicit PortableExecutable(const std::wstring& path)
      : bytes_(testsupport::read_file(path)) {}

  // The names of the imported libraries (lower case) and of the functions
  // imported by name from them.
  void imports(std::vector<std::string>* libraries,
               std::vector<std::string>* functions) const {
    const IMAGE_DATA_DIRECTORY& directory =
        headers()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = at<IMAGE_IMPORT_DESCRIPTOR>(directory.VirtualAddress);
         entry != nullptr && entry->Name != 0; ++entry) {
      libraries->push_back(testsupport::bytes_of(
          testsupport::lower(testsupport::widened(text(entry->Name)))));
      DWORD thunks = entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk
                                                    : entry->FirstThunk;
      for (auto* thunk = at<IMAGE_THUNK_DATA64>(thunks);
           thunk != nullptr && thunk->u1.AddressOfData != 0; ++thunk) {
        if (IMAGE_SNAP_BY_ORDINAL64(thunk->u1.Ordinal)) continue;
        functions->push_back(
            text(static_cast<DWORD>(thunk->u1.AddressOfData) + 2));
      }
    }
  }

  // The load configuration's DependentLoadFlags, or -1 without one.
  long dependent_load_flags() const {
    const IMAGE_DATA_DIRECTORY& directory =
        headers()
            ->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
    auto* size = at<DWORD>(directory.VirtualAddress);
    auto* flags = at<WORD>(directory.VirtualAddress + kDependentLoadFlagsAt);
    if (size == nullptr || flags == nullptr ||
        *size < kDependentLoadFlagsAt + sizeof(WORD)) {
      return -1;
    }
    return *flags;
  }

 private:
  const IMAGE_NT_HEADERS64* headers() const {
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data());
    return reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes_.data() +
                                                       dos->e_lfanew);
  }
  // The file offset of rva, or 0 when no section holds it.
  size_t offset(DWORD rva) const {
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers());
    for (WORD i = 0; i < headers()->FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& s = section[i];
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
        return rva - s.VirtualAddress + s.PointerToRawData;
    }
    return 0;
  }
  template <typename T>
  const T* at(DWORD rva) const {
    size_t where = rva == 0 ? 0 : offset(rva);
    if (where == 0 || where + sizeof(T) > bytes_.size()) return nullptr;
    return reinterpret_cast<const T*>(bytes_.data() + where);
  }
  std::string text(DWORD rva) const {
    size_t where = offset(rva);
    return where == 0 ? "" : std::string(bytes_.c_str() + where);
  }

  std::string bytes_;
};

TEST(Resources, ImportsOnlyKnownDllsAndDependentLoadsFromTheSystemFolder) {
  for (const Deliverable& d : kDeliverables) {
    SCOPED_TRACE(testing::Message() << d.version);
    PortableExecutable program(testsupport::program_path(d.file));
    std::vector<std::string> libraries, functions;
    program.imports(&libraries, &functions);
    EXPECT_FALSE(libraries.empty());
    for (const std::string& library : libraries) {
      EXPECT_NE(std::find(std::begin(kKnownDllImports),
                          std::end(kKnownDllImports), library),
                std::end(kKnownDllImports))
          << library;
    }
    EXPECT_EQ(std::count(functions.begin(), functions.end(),
                         std::string(kForwardedGenerator)),
              0);
#if defined(_MSC_VER)
    // Linked with /DEPENDENTLOADFLAG:0x800 (LOAD_LIBRARY_SEARCH_SYSTEM32).
    EXPECT_EQ(program.dependent_load_flags(), 0x800);
#endif
  }
}

}  // namespace
