#include "child_process.h"

#include <optional>
#include <vector>

#include "bounded_text.h"

namespace {

const wchar_t kQuote[] = L"\"";
const wchar_t kBlank[] = L" ";
// A path and a 511-character argument line, with room to spare.
const size_t kCommandLineChars = MAX_PATH + 1024;

// The attributes that limit what a child inherits to one handle, whatever
// else of ours is inheritable; deleted on every path.
class InheritOnly {
 public:
  explicit InheritOnly(HANDLE* handle) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    buffer_.resize(size);
    ready_ = size != 0 &&
             InitializeProcThreadAttributeList(list(), 1, 0, &size) != FALSE;
    if (ready_ &&
        !UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                   handle, sizeof *handle, nullptr, nullptr)) {
      DeleteProcThreadAttributeList(list());
      ready_ = false;
    }
  }
  ~InheritOnly() {
    if (ready_) DeleteProcThreadAttributeList(list());
  }
  InheritOnly(const InheritOnly&) = delete;
  InheritOnly& operator=(const InheritOnly&) = delete;
  bool ready() const { return ready_; }
  LPPROC_THREAD_ATTRIBUTE_LIST list() {
    return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
  }

 private:
  std::vector<unsigned char> buffer_;
  bool ready_ = false;
};

}  // namespace

bool build_child_command_line(const wchar_t* program, const wchar_t* arguments,
                              wchar_t* line, size_t capacity) {
  return compose_text(line, capacity,
                      {kQuote, program, kQuote, kBlank, arguments});
}

KernelHandle start_child(const wchar_t* program, const wchar_t* arguments,
                         const wchar_t* folder, DWORD creation_flags, WORD show,
                         HANDLE inherited) {
  wchar_t line[kCommandLineChars];
  if (!build_child_command_line(program, arguments, line, kCommandLineChars)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return KernelHandle();
  }
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = show;
  HANDLE handed = inherited;
  std::optional<InheritOnly> only;
  if (inherited != nullptr) {
    only.emplace(&handed);
    // Without the list the child would not be held to that one handle.
    if (!only->ready()) return KernelHandle();
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = only->list();
    creation_flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program, line, nullptr, nullptr, inherited != nullptr,
                      creation_flags, nullptr, folder, &startup.StartupInfo,
                      &process)) {
    return KernelHandle();
  }
  KernelHandle thread(process.hThread);
  return KernelHandle(process.hProcess);
}
