#include "programs.h"

#include <windows.h>
// tlhelp32.h needs windows.h first.
#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "../standin/standin_log.h"
#include "machine.h"
#include "text.h"

namespace testsupport {

namespace {

const int kStartAttempts = 3;
// Longer than any program the tests run takes, even on a busy machine.
const unsigned long kProgramMilliseconds = 120000;

// A folder CMake named, with Windows' separators (the loader wants them).
std::wstring windows_folder(std::wstring folder) {
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  return folder;
}

// Our environment with the extra entries laid over it, as a block.
std::wstring environment_block(const std::vector<std::wstring>& extra) {
  std::map<std::wstring, std::wstring> entries;
  auto add = [&](const std::wstring& entry) {
    entries[entry.substr(0, entry.find(L'=', 1))] = entry;
  };
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* at = block; *at != L'\0'; at += wcslen(at) + 1) add(at);
  FreeEnvironmentStringsW(block);
  for (const std::wstring& entry : extra) add(entry);
  std::wstring result;
  for (const auto& entry : entries) result += entry.second + L'\0';
  return result + L'\0';
}

// A file or folder of the build, where CMake put it (built), unless the
// environment names the folder that holds it (variable; then tail below
// it): the Windows job runs the programs and tests built on Linux.
std::wstring build_path(const wchar_t* variable, const wchar_t* tail,
                        const wchar_t* built) {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(variable, folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return windows_folder(built);
  return windows_folder(std::wstring(folder, length) + L"\\" + tail);
}
const wchar_t kProgramFolderVariable[] = L"DRIVER_TOOLS_PROGRAM_FOLDER";
const wchar_t kTestFolderVariable[] = L"DRIVER_TOOLS_TEST_FOLDER";

std::wstring standin_program() {
  return build_path(kTestFolderVariable, L"standin\\pnputil.exe",
                    STANDIN_PROGRAM);
}

}  // namespace

std::wstring msi_folder() {
  return build_path(kTestFolderVariable, L"msi\\", MSI_FOLDER);
}

std::wstring signed_folder() {
  return build_path(kTestFolderVariable, L"signed\\", SIGNED_FOLDER);
}

std::wstring keyed_installer() {
  return build_path(kTestFolderVariable, L"keyed\\installer.exe",
                    KEYED_INSTALLER);
}

std::wstring program_path(const std::wstring& name) {
  return build_path(kProgramFolderVariable, L"", PROGRAM_FOLDER) + name;
}

KernelHandle start_program(const std::wstring& exe,
                           const std::wstring& arguments,
                           const std::wstring& folder,
                           const std::vector<std::wstring>& extra_environment,
                           HANDLE output, bool suspended) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  std::wstring line = L"\"" + exe + L"\"";
  if (!arguments.empty()) line += L" " + arguments;
  std::wstring environment = environment_block(extra_environment);
  PROCESS_INFORMATION process = {};
  BOOL started = FALSE;
  // Wine now and then fails to start a process with an internal error when
  // the machine is busy; that says nothing about the program, so try again.
  for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessW(
        exe.c_str(), &line[0], nullptr, nullptr, output != nullptr,
        CREATE_UNICODE_ENVIRONMENT | (suspended ? CREATE_SUSPENDED : 0),
        &environment[0], folder.empty() ? nullptr : folder.c_str(), &startup,
        &process);
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
  }
  if (!started)
    throw std::runtime_error("CreateProcessW failed: " +
                             std::to_string(GetLastError()));
  KernelHandle thread(process.hThread);
  return KernelHandle(process.hProcess);
}

bool is_signalled(HANDLE process) {
  return WaitForSingleObject(process, 0) != WAIT_TIMEOUT;
}

RunResult run_program(const std::wstring& exe, const std::wstring& arguments,
                      const std::wstring& folder,
                      const std::vector<std::wstring>& extra_environment,
                      const std::function<void()>& meanwhile) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0))
    throw std::runtime_error("CreatePipe failed");
  KernelHandle reading(read_end);
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  KernelHandle process;
  {
    KernelHandle writing(write_end);  // the child's copy only, once started
    process = start_program(exe, arguments, folder, extra_environment,
                            write_end, meanwhile != nullptr);
  }
  if (meanwhile) {
    meanwhile();
    // The process's only thread so far, found without keeping its handle.
    using Resume = LONG(NTAPI*)(HANDLE);
    const auto resume = reinterpret_cast<Resume>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtResumeProcess")));
    if (resume == nullptr || resume(process.get()) < 0)
      throw std::runtime_error("NtResumeProcess failed");
  }

  // Read what has come, never waiting for more: a process that keeps the
  // pipe open (the child's own child, say) must not hold the test past
  // its limit.
  RunResult result;
  auto take_output = [&] {
    char chunk[4096];
    DWORD available = 0, got = 0;
    while (PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr) &&
           available > 0 &&
           ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0) {
      result.output.append(chunk, got);
    }
  };
  const bool ended = eventually(
      [&] {
        take_output();
        return is_signalled(process.get());
      },
      kProgramMilliseconds);
  if (!ended) {
    TerminateProcess(process.get(), 1);
    throw std::runtime_error(utf8(exe) + " did not end");
  }
  take_output();
  GetExitCodeProcess(process.get(), &result.exit_code);
  result.process_id = GetProcessId(process.get());
  return result;
}

std::vector<KernelHandle> children_of(unsigned long parent_id,
                                      const wchar_t* name) {
  std::vector<KernelHandle> children;
  FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = snapshot.valid() && Process32FirstW(snapshot.get(), &entry);
       more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID != parent_id ||
        _wcsicmp(entry.szExeFile, name) != 0)
      continue;
    KernelHandle child(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                    entry.th32ProcessID));
    if (child.valid()) children.push_back(std::move(child));
  }
  return children;
}

void NeedsPnputilStandIn::SetUp() {
  const std::string standin = read_file(standin_program());
  if (standin.empty() ||
      read_file(system_folder() + L"\\pnputil.exe") != standin) {
    GTEST_SKIP() << "needs the pnputil stand-in in System32, where Windows "
                    "keeps its own pnputil (the Windows job puts it there)";
  }
}

bool plant_standin(const std::wstring& target) {
  // The build's own copy: on Windows the system folder's is the real one.
  return CopyFileW(standin_program().c_str(), target.c_str(), FALSE) != FALSE;
}

bool plant_library(const std::wstring& target) {
  return CopyFileW(build_path(kTestFolderVariable,
                              L"standin\\planted_library.dll", PLANTED_LIBRARY)
                       .c_str(),
                   target.c_str(), FALSE) != FALSE;
}

std::vector<std::string> planted_library_loads() {
  return split(read_file(PLANTED_LIBRARY_LOG), "\r\n");
}

void clear_planted_library_loads() { DeleteFileW(PLANTED_LIBRARY_LOG); }

bool planted_libraries_preferred(const std::wstring& names) {
  if (!running_under_wine()) return true;
  wchar_t ours[1024];
  DWORD length = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", ours, 1024);
  if (length == 0 || length >= 1024) return false;
  return std::wstring(ours).find(names + L"=n,b") != std::wstring::npos;
}

std::vector<std::string> pnputil_calls() {
  return split(read_file(PNPUTIL_STANDIN_LOG), "\r\n");
}

std::vector<std::vector<std::string>> pnputil_words() {
  std::vector<std::vector<std::string>> calls;
  for (const std::string& line :
       split(read_file(PNPUTIL_STANDIN_WORDS_LOG), "\r\n")) {
    calls.push_back(line.empty() ? std::vector<std::string>{}
                                 : split(line + "\x1f", "\x1f"));
  }
  return calls;
}

std::vector<std::wstring> pnputil_folders() {
  std::vector<std::wstring> folders;
  for (const std::string& line :
       split(read_file(PNPUTIL_STANDIN_FOLDER_LOG), "\r\n")) {
    std::wstring folder = lower(widened(line));
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    folders.push_back(folder);
  }
  return folders;
}

bool pnputil_stays_unasked(unsigned long wait_milliseconds) {
  return !eventually([] { return !pnputil_calls().empty(); },
                     wait_milliseconds);
}

void clear_pnputil_calls() {
  DeleteFileW(PNPUTIL_STANDIN_LOG);
  DeleteFileW(PNPUTIL_STANDIN_WORDS_LOG);
  DeleteFileW(PNPUTIL_STANDIN_FOLDER_LOG);
}

}  // namespace testsupport
