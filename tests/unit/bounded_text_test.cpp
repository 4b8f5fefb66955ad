// The toolkit the three programs share: bounded text, the system-tool path
// and a child's command line, the checks on found names, and the handle
// holder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "bounded_text.h"
#include "child_process.h"
#include "found_name.h"
#include "outcome.h"
#include "system_tool.h"
#include "unique_resource.h"

namespace {

using testsupport::built;
using testsupport::kNone;
using testsupport::outcome;

std::string narrowed(const wchar_t* source, size_t capacity) {
  return outcome<char>(capacity, [&](char* target, size_t room) {
    return narrow_text(source, target, room);
  });
}
// The outcome of a builder that takes its target first, as the runtime's
// own do: build(target, capacity, source), on a target that starts as start.
template <typename Char = char, typename Build, typename Source>
std::string into(size_t capacity, Build build, const Source& source,
                 const Char* start = nullptr) {
  return outcome<Char>(
      capacity,
      [&](Char* target, size_t room) { return build(target, room, source); },
      start);
}

TEST(BoundedText, RefusesInsteadOfCuttingShortOrAborting) {
  EXPECT_EQ(narrowed(L"1234567", 8), "1234567");
  EXPECT_EQ(narrowed(L"12345678", 8), kNone);
  EXPECT_EQ(narrowed(L"\x0100", 8), kNone);  // above U+00FF: no narrow form
  EXPECT_EQ(narrowed(L"\xe9\xff", 8), "\xe9\xff");
  EXPECT_EQ(built<wchar_t>(4, widen_text, "abc"), "abc");
  EXPECT_EQ(built<wchar_t>(4, widen_text, "abcd"), kNone);
  EXPECT_EQ(into(6, append_text<char>, "cde", "ab"), "abcde");
  // A refused append empties the target, as every refusal does: no caller
  // can go on with part of a text.
  EXPECT_EQ(into(6, append_text<char>, "cdef", "ab"), kNone);
  EXPECT_EQ(into<wchar_t>(6, append_text<wchar_t>, L"cdef", L"ab"), kNone);
  const auto composed = [](std::initializer_list<const char*> parts,
                           size_t capacity) {
    return into(capacity, compose_text<char>, parts);
  };
  EXPECT_EQ(composed({"c:\\", "dir", "\\x.inf"}, 13), "c:\\dir\\x.inf");
  EXPECT_EQ(composed({"c:\\", "dir", "\\x.inf"}, 12), kNone);
  EXPECT_EQ(composed({}, 1), "");
  // Entry names of at most 59 bytes fit tarvex's 60-byte buffer, whole.
  const std::string longest(59, 'n');
  EXPECT_EQ(into(60, copy_text<char>, longest.c_str()), longest);
  EXPECT_EQ(into(60, copy_text<char>, (longest + "n").c_str()), kNone);
  EXPECT_EQ(into<wchar_t>(4, copy_text<wchar_t>, L"wide"), kNone);
  size_t converted = 0;
  char narrow[8];
  EXPECT_TRUE(narrow_text(L"1234567", narrow, sizeof narrow, &converted));
  EXPECT_EQ(converted, 8u);
  wchar_t wide[4];
  EXPECT_TRUE(widen_text("\xe9\xff", wide, 4));
  EXPECT_STREQ(wide, L"\xe9\xff");
}

std::string child_line(const wchar_t* program, const wchar_t* arguments,
                       size_t capacity) {
  return built<wchar_t>(capacity, build_child_command_line, program, arguments);
}
std::string tool_path(const wchar_t* folder, size_t length, size_t capacity) {
  return built<wchar_t>(capacity, build_system_tool_path, folder, length,
                        L"pnputil.exe");
}

TEST(SystemTool, FullPathInTheSystemFolderAndTheChildsLineOrNothing) {
  EXPECT_EQ(child_line(L"C:\\w\\msiexec.exe", L"/i \"a b.msi\"", 64),
            "\"C:\\w\\msiexec.exe\" /i \"a b.msi\"");
  EXPECT_EQ(child_line(L"C:\\p.exe", L"x", 12), kNone);
  EXPECT_EQ(tool_path(L"C:\\windows\\system32", 19, 260),
            "C:\\windows\\system32\\pnputil.exe");
  EXPECT_EQ(tool_path(L"", 0, 260), kNone);  // the folder could not be read
  EXPECT_EQ(tool_path(L"C:\\windows", 12, 260), kNone);  // not read whole
  EXPECT_EQ(tool_path(L"C:\\windows", 10, 16), kNone);   // would not fit
  wchar_t path[260];
  ASSERT_TRUE(system_tool_path(L"cmd.exe", path, 260));
  EXPECT_EQ(std::wstring(path).substr(std::wstring(path).size() - 8),
            L"\\cmd.exe");
}

TEST(FoundName, LongNameFitsThePatternWithoutRegardToCase) {
  EXPECT_TRUE(long_name_fits(L"oem1.inf", L"oem", L".inf"));
  EXPECT_TRUE(long_name_fits(L"OEM1.INF", L"oem", L".inf"));
  EXPECT_TRUE(long_name_fits(L"oem.inf", L"oem", L".inf"));
  EXPECT_FALSE(long_name_fits(L"oem9.infbak", L"oem", L".inf"));
  EXPECT_FALSE(long_name_fits(L"oem.in", L"oem", L".inf"));
  EXPECT_TRUE(long_name_fits(L"x.MSI", L"", L".msi"));  // installer's rule
  EXPECT_TRUE(long_name_fits(L"OEM12.INF", L"oem", L".inf"));  // tarvex's
  EXPECT_FALSE(long_name_fits(L"oem1.in", L"oem", L".inf"));
  EXPECT_FALSE(long_name_fits(L"x.msix", L"", L".msi"));
}

TEST(FoundName, NarrowNameReadsBackOnlyWhenTheCodePageAgrees) {
  const bool latin1 = GetACP() == 1252;
  EXPECT_TRUE(reads_back_as("oem1.inf", L"oem1.inf"));
  EXPECT_FALSE(reads_back_as("OEM1~1.INF", L"oem1 long.inf"));
  EXPECT_FALSE(reads_back_as("?",
                             L"\x0166"
                             L"ber"));
  EXPECT_EQ(reads_back_as("caf\xe9", L"caf\xe9"), latin1);
  EXPECT_FALSE(reads_back_as("\x80", L"\x0080"));
  EXPECT_EQ(reads_back_as("\x80", L"\x20ac"), latin1);
  EXPECT_FALSE(reads_back_as(nullptr, L"x"));
  EXPECT_FALSE(reads_back_as("x", nullptr));
}

TEST(UniqueResource, ClosesOnceKeepsTheLastErrorAndMoves) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  KernelHandle first(event);
  KernelHandle second(std::move(first));
  EXPECT_FALSE(first.valid());
  EXPECT_EQ(second.get(), event);
  SetLastError(ERROR_FILE_NOT_FOUND);
  second.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(second.valid());
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(event, &flags));  // closed
  // The empty value of each kind is what its opening returns on failure.
  EXPECT_FALSE(SearchHandle(INVALID_HANDLE_VALUE).valid());
  EXPECT_FALSE(FileHandle(INVALID_HANDLE_VALUE).valid());
  EXPECT_FALSE(KernelHandle(nullptr).valid());
  EXPECT_FALSE(FileStream(nullptr).valid());
}

}  // namespace
