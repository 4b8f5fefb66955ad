// The first code of ours in every program, before the C runtime's own
// initialisers and any constructor of ours: the programs run elevated from
// folders that users can write (a Downloads folder, an unpacked zip), and the
// loader looks in the program's own folder first for every library that is
// not a KnownDLL. The shell and the libraries it brings load more by name
// while a child is started; from here on every such load comes from the
// system folder only.
//
// mingw builds also seed the stack protector's guard here. Its runtime seeds
// the guard in a later constructor through CryptAcquireContextA and
// CryptGenRandom, which load a cryptographic provider and its libraries into
// every start (under Wine that doubled the start of a program), and leaves a
// guard that is already set alone. RtlGenRandom (SystemFunction036) is the
// same system generator without the provider. It is looked up only now,
// after the search is restricted: on Windows that export forwards to
// cryptbase.dll, which is not a KnownDLL, so a static import would let the
// loader take cryptbase from the program's folder. Nothing here takes the
// address of a local, so it carries no guard of its own that the change would
// break. MSVC's /GS cookie is set up by its own runtime.
#include <windows.h>

#if defined(__GNUC__)
#include <stdint.h>

extern "C" void* __stack_chk_guard;
#endif

namespace {

void restrict_dll_search() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

#if defined(__GNUC__)

const wchar_t kGeneratorLibrary[] = L"advapi32.dll";
const char kGeneratorFunction[] = "SystemFunction036";

typedef BOOLEAN(WINAPI* GeneratorFunction)(PVOID, ULONG);

uintptr_t fresh_guard;

void seed_stack_guard() {
  HMODULE library =
      LoadLibraryExW(kGeneratorLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library == nullptr) return;
  auto generate = reinterpret_cast<GeneratorFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, kGeneratorFunction)));
  if (generate != nullptr &&
      generate(&fresh_guard, static_cast<ULONG>(sizeof fresh_guard)) &&
      fresh_guard != 0) {
    __stack_chk_guard = reinterpret_cast<void*>(fresh_guard);
  }
  fresh_guard = 0;
  // advapi32 stays loaded: it is a KnownDLL, and the programs that import it
  // hold it anyway.
}

// 101 is the earliest priority a program may give a constructor.
__attribute__((constructor(101))) void start_process() {
  restrict_dll_search();
  seed_stack_guard();
}

#elif defined(_MSC_VER)

int __cdecl start_process() {
  restrict_dll_search();
  return 0;
}

#endif

}  // namespace

#if !defined(__GNUC__) && defined(_MSC_VER)
// The C initialisers run in the order of their section names; .CRT$XIAA is
// the runtime's own first step, so this is the earliest one after it.
#pragma section(".CRT$XIAB", read)
extern "C" __declspec(allocate(".CRT$XIAB")) int(
    __cdecl* const driver_tools_start)(void) = start_process;
#pragma comment(linker, "/include:driver_tools_start")
#endif
