// The platform facts the programs rely on, one line each, "fact: answer",
// for the platform this runs on. Under Wine the suite compares the answers
// with the answers recorded for its Wine's major version
// (wine-<major>-answers.txt), so a change of Wine shows at once; on Windows
// the output is the answer (see the README's "On Windows"). Part of the test
// suite, never shipped. Everything it creates it removes. The facts that
// change the machine (a program in the system folder, a candidate folder
// with a link, HKLM keys) are asked only on a throwaway machine: under Wine,
// or where DRIVER_TOOLS_THROWAWAY_MACHINE=1.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <string>
#include <utility>

#include "installation.h"
#include "machine.h"
#include "programs.h"
#include "text.h"

namespace {

using namespace testsupport;

const wchar_t kProbeFolder[] = L"c:\\driver-tools-probe";
const wchar_t kTwinName[] = L"driver-tools-probe-twin.exe";

void fact(const char* name, const std::string& answer) {
  printf("%s: %s\n", name, answer.c_str());
}

// Text as C escapes: what a reader handed out, character by character.
std::string shown(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    char unit[16];
    snprintf(unit, sizeof unit, "\\x%02x", static_cast<unsigned>(c));
    const bool plain = c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\';
    out += plain ? std::string(1, static_cast<char>(c)) : unit;
  }
  return out + "\"";
}

// Every piece fgetws hands out of a file of these bytes opened with mode.
std::string pieces(const std::string& bytes, const char* mode) {
  const std::wstring path = std::wstring(kProbeFolder) + L"\\text.txt";
  write_file(path, bytes);
  FILE* opened = nullptr;
  if (fopen_s(&opened, bytes_of(path).c_str(), mode) != 0) return "no open";
  FileStream file(opened);
  std::string out;
  wchar_t piece[256];
  while (fgetws(piece, 256, file.get()) != nullptr)
    out += (out.empty() ? "" : " ") + shown(piece);
  return out.empty() ? "nothing" : out;
}

std::string first_and_last_line(const std::string& output) {
  std::string first, last;
  for (std::string line : split(output + "\n", "\n")) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (first.empty()) first = line;
    last = line;
  }
  return "\"" + first + "\" ... \"" + last + "\"";
}

// Asked of a package that exists nowhere: nothing is deleted.
void pnputil_facts() {
  const std::wstring pnputil = system_folder() + L"\\pnputil.exe";
  const std::pair<const char*, const wchar_t*> deletions[] = {
      {"pnputil /delete-driver by full path",
       L"/delete-driver c:\\Windows\\INF\\oem99999.inf"},
      {"pnputil /delete-driver by published name",
       L"/delete-driver oem99999.inf"}};
  for (const auto& deletion : deletions) {
    if (!path_exists(pnputil)) {
      fact(deletion.first, "no pnputil");
      continue;
    }
    RunResult run = run_program(pnputil, deletion.second);
    fact(deletion.first, "exit " + std::to_string(run.exit_code) + ", " +
                             first_and_last_line(run.output));
  }
}

void runtime_facts() {
  fact("r, ccs=UTF-8 on UTF-8 without BOM",
       pieces("Zudi \xc3\xa9\r\n", "r, ccs=UTF-8"));
  fact("r, ccs=UTF-8 on UTF-8 with BOM",
       pieces("\xef\xbb\xbfZudi \xc3\xa9\r\n", "r, ccs=UTF-8"));
  fact("r, ccs=UTF-8 on UTF-16 LE with BOM",
       pieces("\xff\xfe" + utf16le(L"Zudi \xe9\r\n"), "r, ccs=UTF-8"));
  fact("r, ccs=UTF-8 on UTF-16 LE without BOM",
       pieces(utf16le(L"Zudi\r\n"), "r, ccs=UTF-8"));
  fact("r on CR LF", pieces("a\r\nb", "r"));
  fact("r on a lone CR", pieces("a\rb", "r"));
  fact("r on a CR at the end", pieces("a\r", "r"));
  fact("r on a Ctrl-Z in the middle", pieces(std::string("a\x1a") + "b", "r"));
  char narrow[8];
  size_t converted = 0;
  errno_t status = wcstombs_s(&converted, narrow, sizeof narrow, L"\x0100", 7);
  fact("C-locale wcstombs_s on U+0100", "status " + std::to_string(status));
  fact("C-locale wcstombs(NULL) on U+0100",
       std::to_string(static_cast<long long>(
           static_cast<ptrdiff_t>(wcstombs(nullptr, L"\x0100", 0)))));
}

void search_facts() {
  const std::wstring folder = std::wstring(kProbeFolder) + L"\\search";
  make_folders(folder);
  for (const wchar_t* name :
       {L"oem2.inf", L"OEM3.inf", L"oem10.inf", L"oem1.inf", L"oem4.infbak"})
    write_file(folder + L"\\" + name, "x");
  std::string order;
  for (const std::wstring& name : listed(folder + L"\\oem*.inf"))
    order += (order.empty() ? "" : " ") + utf8(name);
  fact("FindFirstFileW oem*.inf order (oem4.infbak among them?)", order);
}

// Which of two same-named programs a bare name starts: the current
// folder's or the system folder's. Both are copies of the pnputil stand-in,
// which marks its line "PLANTED" unless it runs from the system folder.
void bare_name_fact() {
  const std::wstring here = std::wstring(kProbeFolder) + L"\\" + kTwinName;
  const std::wstring system = system_folder() + L"\\" + kTwinName;
  std::string answer = "cannot write the system folder";
  if (plant_standin(here) && plant_standin(system)) {
    clear_pnputil_calls();
    SetCurrentDirectoryW(kProbeFolder);
    // Started by the shell, as this fact asks; held as the tests hold any.
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = kTwinName;
    info.lpParameters = L"twin";
    info.nShow = SW_HIDE;
    answer = "not started";
    if (ShellExecuteExW(&info) && info.hProcess != nullptr) {
      KernelHandle twin(info.hProcess);
      eventually([&] { return is_signalled(twin.get()); }, 10000);
      const std::vector<std::string> calls = pnputil_calls();
      answer = calls.size() != 1            ? "unknown"
               : calls[0] == "twin"         ? "the system folder's"
               : calls[0] == "PLANTED twin" ? "the current folder's"
                                            : "unknown: " + calls[0];
    }
    clear_pnputil_calls();
  }
  fact("ShellExecuteExW bare name starts", answer);
  DeleteFileW(system.c_str());
  DeleteFileW(here.c_str());
}

// Windows can hold tarvex's walk at a file it opens (a batch oplock breaks
// at that open, and the open waits until the break is acknowledged); while
// it is held, a subfolder not yet reached is swapped for a junction to an
// outside folder. Does anything outside go?
void held_walk_fact() {
  const std::wstring candidate = kMakerFolder + L"\\ZR420";
  const std::wstring outside = std::wstring(kProbeFolder) + L"\\outside";
  const std::wstring moved = std::wstring(kProbeFolder) + L"\\moved";
  const std::wstring product = L"{0B0B0B0B-0000-4000-8000-00000000000B}";
  Installation machine({.products = {{product, "Company=DevedoZudi\r\n"}},
                        .keyed = {product},
                        .folders = {candidate}});
  make_folders(outside);
  write_file(outside + L"\\keep.txt", "x");
  make_folders(candidate + L"\\sub");
  write_file(candidate + L"\\a.dat", "x");  // listed, and so opened, first
  FileHandle held(CreateFileW((candidate + L"\\a.dat").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  KernelHandle broken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED overlapped = {};
  overlapped.hEvent = broken.get();
  if (DeviceIoControl(held.get(), FSCTL_REQUEST_BATCH_OPLOCK, nullptr, 0,
                      nullptr, 0, nullptr, &overlapped) ||
      GetLastError() != ERROR_IO_PENDING) {
    fact("tarvex's walk held by an oplock", "no oplock granted");
    return;
  }
  KernelHandle tarvex = start_program(program_path(L"tarvex.exe"));
  const bool swapped =
      eventually([&] { return is_signalled(broken.get()); }, 30000) &&
      MoveFileW((candidate + L"\\sub").c_str(), moved.c_str());
  if (swapped) make_link(candidate + L"\\sub", outside);
  held.reset();  // acknowledges the break: the walk goes on
  eventually([&] { return is_signalled(tarvex.get()); }, 60000);
  fact("tarvex's walk held by an oplock, a subfolder swapped for a junction",
       !swapped                               ? "the walk was not held"
       : path_exists(outside + L"\\keep.txt") ? "outside files kept"
                                              : "outside files deleted");
}

void registry_fact() {
  const std::wstring parent = L"SOFTWARE\\WOW6432Node\\DriverToolsProbe";
  delete_key_tree(parent);
  ScopedKey child(parent + L"\\child");
  const LSTATUS with_subkey = RegDeleteKeyExA(
      HKEY_LOCAL_MACHINE, bytes_of(parent).c_str(), KEY_WOW64_64KEY, 0);
  delete_key_tree(parent + L"\\child");
  const LSTATUS alone = RegDeleteKeyExA(
      HKEY_LOCAL_MACHINE, bytes_of(parent).c_str(), KEY_WOW64_64KEY, 0);
  fact("RegDeleteKeyExA WOW6432Node key in the 64-bit view",
       "with a subkey " + std::to_string(with_subkey) + ", without " +
           std::to_string(alone) +
           (key_exists(parent) ? ", still there" : ", gone"));
  delete_key_tree(parent);
}

}  // namespace

int main() {
  remove_tree(kProbeFolder);
  make_folders(kProbeFolder);
  fact("platform", running_under_wine() ? "Wine" : "Windows");
  pnputil_facts();
  runtime_facts();
  search_facts();
  if (throwaway_machine()) {
    bare_name_fact();
    held_walk_fact();
    registry_fact();
  } else {
    fact("machine-changing facts",
         "not asked: set DRIVER_TOOLS_THROWAWAY_MACHINE=1 on a throwaway "
         "machine");
  }
  SetCurrentDirectoryW(system_folder().c_str());
  remove_tree(kProbeFolder);
  return 0;
}
