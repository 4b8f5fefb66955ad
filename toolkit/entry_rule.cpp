#include "entry_rule.h"

namespace {

const wchar_t kSeparator = L'\\';
const DWORD kLinkOrFolder =
    FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;

}  // namespace

EntryAction entry_action(DWORD listed, DWORD opened, bool at_own_path) {
  if (!at_own_path) return EntryAction::kLeave;
  if ((opened & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryAction::kDelete;
  if ((listed & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryAction::kLeave;
  if ((opened & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryAction::kDescend;
  return EntryAction::kDelete;
}

bool is_plain_file(DWORD listed, DWORD opened, bool at_own_path) {
  return entry_action(listed, opened, at_own_path) == EntryAction::kDelete &&
         (opened & kLinkOrFolder) == 0;
}

bool is_own_path(const std::wstring& parent_final, const std::wstring& name,
                 const std::wstring& entry_final) {
  std::wstring expected = parent_final;
  if (expected.empty() || expected.back() != kSeparator) expected += kSeparator;
  expected += name;
  return CompareStringOrdinal(
             expected.c_str(), static_cast<int>(expected.size()),
             entry_final.c_str(), static_cast<int>(entry_final.size()),
             TRUE) == CSTR_EQUAL;
}

std::wstring final_path(HANDLE handle, DWORD form) {
  const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, form);
  if (needed == 0) return std::wstring();
  std::wstring path(needed, L'\0');
  const DWORD length =
      GetFinalPathNameByHandleW(handle, &path[0], needed, form);
  if (length == 0 || length >= needed) return std::wstring();
  path.resize(length);
  return path;
}
