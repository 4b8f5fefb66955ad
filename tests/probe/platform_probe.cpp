// The platform facts the programs rely on, one line each, "fact: answer",
// for the platform this runs on. With --expect <answers file> it also
// compares them with the answers promised there (one "fact: answer" line
// each, or "fact: (recorded only: why)" for a fact whose answer is only
// recorded), prints each difference, a missing or an extra fact included,
// and exits 1 on any; case counts. The Linux legs compare with the answers
// of their Wine's major version (wine-<major>-answers.txt), the Windows jobs
// with windows-answers.txt: one comparison everywhere. With --found <file>
// the answers are read from that file (an earlier run's output) instead of
// being asked again. Part of the test
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

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "installation.h"
#include "machine.h"
#include "programs.h"
#include "text.h"

namespace {

using namespace testsupport;

const wchar_t kProbeFolder[] = L"c:\\driver-tools-probe";
const wchar_t kTwinName[] = L"driver-tools-probe-twin.exe";

const char kSeparator[] = ": ";
const char kRecordedOnly[] = "(recorded only:";

// The facts in the order they were found or promised: name, answer.
using Facts = std::vector<std::pair<std::string, std::string>>;
Facts found_facts;

void fact(const char* name, const std::string& answer) {
  printf("%s%s%s\n", name, kSeparator, answer.c_str());
  fflush(stdout);
  found_facts.emplace_back(name, answer);
}

// The facts of an answers file (or a run's output), "fact: answer" lines.
Facts read_facts(const std::wstring& path) {
  Facts facts;
  for (std::string line : split(read_file(path), "\n")) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t at = line.find(kSeparator);
    if (line.empty()) continue;
    if (at == std::string::npos) {
      facts.emplace_back(line, "");
    } else {
      facts.emplace_back(line.substr(0, at),
                         line.substr(at + strlen(kSeparator)));
    }
  }
  return facts;
}

// Prints every way found differs from promised; true when none does.
bool matches(const Facts& found, const Facts& promised) {
  // Where fact name stands in facts, or its end.
  auto find = [](const Facts& facts, const std::string& name) {
    return std::find_if(facts.begin(), facts.end(),
                        [&](const auto& f) { return f.first == name; });
  };
  int differences = 0;
  for (const auto& fact : promised) {
    const std::string& name = fact.first;
    const std::string& answer = fact.second;
    const auto at = find(found, name);
    if (at == found.end()) {
      printf("missing fact: %s\n", name.c_str());
      ++differences;
    } else if (answer.rfind(kRecordedOnly, 0) != 0 && at->second != answer) {
      printf("%s: promised \"%s\", found \"%s\"\n", name.c_str(),
             answer.c_str(), at->second.c_str());
      ++differences;
    }
  }
  for (const auto& fact : found) {
    if (find(promised, fact.first) == promised.end()) {
      printf("extra fact: %s: %s\n", fact.first.c_str(), fact.second.c_str());
      ++differences;
    }
  }
  if (differences == 0) {
    printf("%zu facts as promised\n", found.size());
  } else {
    printf("%d answers differ from the promised ones\n", differences);
  }
  return differences == 0;
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

// Whether pnputil took the package it was asked to delete: deleted (it
// exits 0), or kept because a device uses it ("in use", "presently
// installed"), both mean the name reached a package; anything else (not
// found, an invalid INF) is a refusal, given by its last line.
std::string pnputil_answer(const RunResult& run) {
  std::string last;
  for (std::string line : split(run.output + "\n", "\n")) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) last = line;
  }
  std::string said = run.output;
  std::transform(said.begin(), said.end(), said.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  if (run.exit_code == 0 || said.find("in use") != std::string::npos ||
      said.find("presently installed") != std::string::npos)
    return "accepted";
  return "refused (exit " + std::to_string(run.exit_code) + "): " + last;
}

// Whether pnputil's /delete-driver takes an INF by its full path, as tarvex
// hands it over, where it takes a published name: asked of two driver
// packages this machine has (a throwaway one: a package no device uses is
// deleted), the first by its published name, the second by its full path,
// without /force, so that one in use stays.
void pnputil_facts() {
  const char* const kByName = "pnputil /delete-driver by published name";
  const char* const kByPath = "pnputil /delete-driver by full path";
  const std::wstring pnputil = system_folder() + L"\\pnputil.exe";
  wchar_t windows[MAX_PATH];
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring inf_folder =
      std::wstring(windows, length < MAX_PATH ? length : 0) + L"\\INF\\";
  std::vector<std::wstring> packages;
  for (const std::wstring& name : listed(inf_folder + L"oem*.inf")) {
    if (lower(name).size() > 7 && lower(name).rfind(L".inf") == name.size() - 4)
      packages.push_back(name);
  }
  if (!path_exists(pnputil) || packages.size() < 2) {
    const char* const why = !path_exists(pnputil)
                                ? "no pnputil"
                                : "fewer than two driver packages to ask about";
    fact(kByName, why);
    fact(kByPath, why);
    return;
  }
  fact(kByName,
       pnputil_answer(run_program(pnputil, L"/delete-driver " + packages[0])));
  fact(kByPath, pnputil_answer(run_program(
                    pnputil, L"/delete-driver " + inf_folder + packages[1])));
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
  const char* const kHeldWalk =
      "tarvex's walk held by an oplock, a subfolder swapped for a junction";
  if (DeviceIoControl(held.get(), FSCTL_REQUEST_BATCH_OPLOCK, nullptr, 0,
                      nullptr, 0, nullptr, &overlapped) ||
      GetLastError() != ERROR_IO_PENDING) {
    fact(kHeldWalk, "no oplock granted");
    return;
  }
  KernelHandle tarvex = start_program(program_path(L"tarvex.exe"));
  const bool swapped =
      eventually([&] { return is_signalled(broken.get()); }, 30000) &&
      MoveFileW((candidate + L"\\sub").c_str(), moved.c_str());
  if (swapped) make_link(candidate + L"\\sub", outside);
  held.reset();  // acknowledges the break: the walk goes on
  eventually([&] { return is_signalled(tarvex.get()); }, 60000);
  fact(kHeldWalk, !swapped ? "the walk was not held"
                  : path_exists(outside + L"\\keep.txt")
                      ? "outside files kept"
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

// The facts of this platform, asked now.
void ask_facts() {
  remove_tree(kProbeFolder);
  make_folders(kProbeFolder);
  fact("platform", running_under_wine() ? "Wine" : "Windows");
  runtime_facts();
  search_facts();
  if (throwaway_machine()) {
    pnputil_facts();
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
}

}  // namespace

// platform_probe [--found <earlier output>] [--expect <answers file>]
int wmain(int argc, wchar_t** argv) {
  std::wstring found_file, answers_file;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    if (option == L"--found") {
      found_file = argv[i + 1];
    } else if (option == L"--expect") {
      answers_file = argv[i + 1];
    } else {
      printf("unknown option %s\n", utf8(option).c_str());
      return 2;
    }
  }
  if ((argc - 1) % 2 != 0) {
    printf("usage: platform_probe [--found <file>] [--expect <file>]\n");
    return 2;
  }
  if (found_file.empty()) {
    ask_facts();
  } else {
    found_facts = read_facts(found_file);
  }
  if (answers_file.empty()) return 0;
  const Facts promised = read_facts(answers_file);
  if (promised.empty()) {
    printf("no answers in %s\n", utf8(answers_file).c_str());
    return 1;
  }
  return matches(found_facts, promised) ? 0 : 1;
}
