// Each built program's version resource and manifest, read back from the
// file the way Windows reads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "programs.h"

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

}  // namespace
