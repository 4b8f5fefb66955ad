// Each built program's version resource and manifest, read back from the
// file the way Windows reads them.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "programs.h"

namespace {

struct Deliverable {
  std::wstring file;
  const wchar_t* description;
  const wchar_t* version;
  const char* level;
  WORD subsystem;
  std::wstring name() const { return file.substr(0, file.size() - 4); }
};

// As the deliverables must be, written here rather than read from the
// build, so that a change in a program's CMakeLists fails this test.
const Deliverable kDeliverables[] = {
    {L"tarvex.exe", L"uninstall old driver", L"1.0.0.4", "requireAdministrator",
     IMAGE_SUBSYSTEM_WINDOWS_CUI},
    {L"installer.exe", L"installer", L"1.0.0.2", "requireAdministrator",
     IMAGE_SUBSYSTEM_WINDOWS_CUI},
    {L"install.exe", L"install utility", L"1.0.0.1", "asInvoker",
     IMAGE_SUBSYSTEM_WINDOWS_CUI},
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

// A built program mapped as the loader maps it (sections where they run,
// so each address in it is the image's base plus the address), never run.
class MappedProgram {
 public:
  explicit MappedProgram(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr,
                               LOAD_LIBRARY_AS_IMAGE_RESOURCE)),
        base_(reinterpret_cast<const BYTE*>(
            reinterpret_cast<ULONG_PTR>(module_) & ~ULONG_PTR(3))) {}
  ~MappedProgram() { FreeLibrary(module_); }
  bool mapped() const { return module_ != nullptr; }
  // The module handle resource functions take.
  HMODULE module() const { return module_; }

  // The imported libraries (lower case) and the functions imported by name.
  void imports(std::vector<std::string>* libraries,
               std::vector<std::string>* functions) const {
    for (auto* entry = at<IMAGE_IMPORT_DESCRIPTOR>(
             directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
         entry->Name != 0; ++entry) {
      std::string library = at<char>(entry->Name);
      for (char& c : library)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      libraries->push_back(library);
      for (auto* thunk = at<IMAGE_THUNK_DATA64>(entry->OriginalFirstThunk
                                                    ? entry->OriginalFirstThunk
                                                    : entry->FirstThunk);
           thunk->u1.AddressOfData != 0; ++thunk) {
        if (!IMAGE_SNAP_BY_ORDINAL64(thunk->u1.Ordinal))
          functions->push_back(
              at<char>(static_cast<DWORD>(thunk->u1.AddressOfData) + 2));
      }
    }
  }

  const IMAGE_NT_HEADERS64& headers() const {
    return *at<IMAGE_NT_HEADERS64>(at<IMAGE_DOS_HEADER>(0)->e_lfanew);
  }
  // The section table: headers().FileHeader.NumberOfSections entries.
  const IMAGE_SECTION_HEADER* sections() const {
    const IMAGE_NT_HEADERS64& nt = headers();
    return reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const BYTE*>(&nt.OptionalHeader) +
        nt.FileHeader.SizeOfOptionalHeader);
  }

  // The load configuration's DependentLoadFlags, or -1 without one.
  long dependent_load_flags() const {
    const DWORD config =
        directory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG).VirtualAddress;
    if (config == 0 || *at<DWORD>(config) < kDependentLoadFlagsAt + 2)
      return -1;
    return *at<WORD>(config + kDependentLoadFlagsAt);
  }

 private:
  const IMAGE_DATA_DIRECTORY& directory(int index) const {
    return headers().OptionalHeader.DataDirectory[index];
  }
  template <typename T>
  const T* at(DWORD address) const {
    return reinterpret_cast<const T*>(base_ + address);
  }

  HMODULE module_;
  const BYTE* base_;
};

BOOL CALLBACK count_language(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK collect_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(
      IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
  return TRUE;
}

// check(deliverable, its program mapped), for each deliverable.
template <typename Check>
void each_mapped_program(Check check) {
  for (const Deliverable& d : kDeliverables) {
    SCOPED_TRACE(testing::Message() << d.version);
    MappedProgram program(testsupport::program_path(d.file));
    ASSERT_TRUE(program.mapped());
    check(d, program);
  }
}

TEST(Resources, ExactlyOneManifestWithTheDeliverablesExecutionLevel) {
  each_mapped_program([](const Deliverable& d, const MappedProgram& program) {
    const HMODULE module = program.module();

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
    // Read as XML, not as our own spelling of it: mt.exe, which embeds the
    // manifest in MSVC builds, writes it again in its own (other quotes,
    // other spacing).
    const size_t element = manifest.find("requestedExecutionLevel");
    const size_t value = manifest.find("level=", element + 23);
    ASSERT_NE(element, std::string::npos) << manifest;
    ASSERT_NE(value, std::string::npos) << manifest;
    const char quote = manifest[value + 6];
    EXPECT_EQ(manifest.substr(value + 7, manifest.find(quote, value + 7) -
                                             (value + 7)),
              d.level)
        << manifest;
  });
}

// A console program; no section both writable and executable, none shared
// and writable, and relocations, without which ASLR cannot move it.
TEST(Resources, ConsoleProgramWithSafeSectionsAndRelocations) {
  each_mapped_program([](const Deliverable& d, const MappedProgram& program) {
    EXPECT_EQ(program.headers().OptionalHeader.Subsystem, d.subsystem);
    bool relocations = false;
    for (WORD i = 0; i < program.headers().FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& section = program.sections()[i];
      const std::string name(
          reinterpret_cast<const char*>(section.Name),
          strnlen(reinterpret_cast<const char*>(section.Name),
                  IMAGE_SIZEOF_SHORT_NAME));
      const DWORD flags = section.Characteristics;
      const bool writable = (flags & IMAGE_SCN_MEM_WRITE) != 0;
      EXPECT_FALSE(writable && (flags & IMAGE_SCN_MEM_EXECUTE) != 0) << name;
      EXPECT_FALSE(writable && (flags & IMAGE_SCN_MEM_SHARED) != 0) << name;
      relocations = relocations || name == ".reloc";
    }
    EXPECT_TRUE(relocations);
  });
}

TEST(Resources, ImportsOnlyKnownDllsAndDependentLoadsFromTheSystemFolder) {
  each_mapped_program([](const Deliverable&, const MappedProgram& program) {
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
  });
}

}  // namespace
