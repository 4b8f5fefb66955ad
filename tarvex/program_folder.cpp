#include "program_folder.h"

#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "bounded_text.h"
#include "handles.h"
#include "system_tool.h"
#include "unique_resource.h"

namespace {

const char kMakerFolderPrefix[] = "c:\\Program Files (x86)\\Devedozudi\\";
const char* const kMakerProducts[] = {"PX3", "ZR410", "ZR420", "ZR430"};
const char kEarlierVendorFolder[] =
    "c:\\Program Files (x86)\\Nelvora KR516 SCR Driver\\";
const char* const kRemoveCommands[kCandidateCount] = {
    "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\PX3\"",
    "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR410\"",
    "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR420\"",
    "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR430\"",
    "rmdir /s /q \"c:\\Program Files (x86)\\Nelvora KR516 SCR Driver\"",
};
const size_t kMakerProductCount = 4;

const wchar_t kInterpreterName[] = L"cmd.exe";
// /d: no AutoRun commands from the registry, which an unelevated user can
// set under HKCU.
const wchar_t kInterpreterSwitch[] = L" /d /c ";
const size_t kTestPathBytes = 256;
const size_t kCommandLineChars = 1024;

// Runs the command through the interpreter in our own console and waits for
// it, as system would, but with the interpreter taken from the system
// folder rather than from COMSPEC.
void run_command(const char* command) {
  wchar_t interpreter[MAX_PATH];
  if (!system_tool_path(kInterpreterName, interpreter, MAX_PATH)) return;
  wchar_t line[kCommandLineChars];
  if (!build_interpreter_line(interpreter, command, line, kCommandLineChars)) {
    return;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(interpreter, line, nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return;
  }
  KernelHandle thread(process.hThread);
  KernelHandle child(process.hProcess);
  WaitForSingleObject(child.get(), INFINITE);
}

// True when the folder at path is a link (a junction or a symbolic link):
// asked without a trailing separator, so that the link itself answers, not
// the folder it points to.
bool is_link(const char* path) {
  char own[kTestPathBytes];
  if (!copy_text(own, sizeof own, path)) return false;
  size_t length = strlen(own);
  while (length > 1 && (own[length - 1] == '\\' || own[length - 1] == '/')) {
    own[--length] = '\0';
  }
  DWORD attributes = GetFileAttributesA(own);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool build_candidate_path(size_t index, char* path, size_t capacity) {
  if (index >= kCandidateCount) return false;
  if (index < kMakerProductCount) {
    return copy_text(path, capacity, kMakerFolderPrefix) &&
           append_text(path, capacity, kMakerProducts[index]);
  }
  return copy_text(path, capacity, kEarlierVendorFolder);
}

const char* candidate_command(size_t index) {
  return index < kCandidateCount ? kRemoveCommands[index] : nullptr;
}

bool build_interpreter_line(const wchar_t* interpreter, const char* command,
                            wchar_t* line, size_t capacity) {
  wchar_t wide_command[kCommandLineChars];
  if (capacity == 0) return false;
  line[0] = L'\0';
  bool whole = widen_text(command, wide_command, kCommandLineChars) &&
               append_text(line, capacity, L"\"") &&
               append_text(line, capacity, interpreter) &&
               append_text(line, capacity, L"\"") &&
               append_text(line, capacity, kInterpreterSwitch) &&
               append_text(line, capacity, wide_command);
  if (!whole) line[0] = L'\0';
  return whole;
}

void remove_program_folder() {
  for (size_t i = 0; i < kCandidateCount; ++i) {
    char path[kTestPathBytes];
    if (!build_candidate_path(i, path, sizeof path)) continue;
    {
      DirStream candidate(opendir(path));
      if (!candidate.valid()) continue;
    }
    // A link is not a leftover program folder: removing the tree behind it
    // could reach outside Program Files (Wine's rmdir /s follows links).
    if (is_link(path)) continue;
    run_command(candidate_command(i));
    return;
  }
}
