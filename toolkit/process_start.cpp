// The first code of ours in every program: under mingw the earliest
// constructor, which runs once the C runtime has initialised itself; under
// MSVC the C initialiser right after the runtime's own first step. Both run
// before main and any other constructor of ours. The programs run elevated
// from folders that users can write (a Downloads folder, an unpacked zip),
// and the loader looks in the program's own folder first for every library
// that is not a KnownDLL. The shell and the libraries it brings load more by
// name while a child is started; from here on every such load comes from
// the system folder only.
//
// mingw builds also seed the stack protector's guard here. Its runtime seeds
// the guard in a later constructor through CryptAcquireContextA and
// CryptGenRandom, which load a cryptographic provider and its libraries into
// every start (under Wine that doubled the start of a program), and leaves a
// guard that is already set alone. The seed comes from BCryptGenRandom with
// the system-preferred generator, in bcrypt.dll, which exports it itself,
// loaded by full search of the system folder only. RtlGenRandom
// (SystemFunction036) in advapi32 is the same generator, but on Windows that
// export forwards to cryptbase.dll, and resolving a forwarder loads its
// target by name, a search not documented to keep to the system folder; it
// is used only where bcrypt is missing. Nothing here takes the address of a
// local, so it carries no guard of its own that the change would break.
// MSVC's /GS cookie is set up by its own runtime.
#include <windows.h>

#if defined(__GNUC__)
#include <bcrypt.h>
#include <stdint.h>

extern "C" void* __stack_chk_guard;
#endif

namespace {

void restrict_dll_search() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

#if defined(__GNUC__)

const wchar_t kGeneratorLibrary[] = L"bcrypt.dll";
const char kGeneratorFunction[] = "BCryptGenRandom";
const wchar_t kFallbackLibrary[] = L"advapi32.dll";
const char kFallbackFunction[] = "SystemFunction036";

typedef LONG(WINAPI* GeneratorFunction)(void*, PUCHAR, ULONG, ULONG);
typedef BOOLEAN(WINAPI* FallbackFunction)(PVOID, ULONG);

uintptr_t fresh_guard;

void* system_function(const wchar_t* library_name, const char* name) {
  HMODULE library =
      LoadLibraryExW(library_name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(library, name));
}

// True when fresh_guard holds new random bits. The libraries stay loaded:
// unloading one this early gains nothing, and advapi32 is held anyway by
// the programs that import it.
bool generate_guard() {
  const ULONG size = static_cast<ULONG>(sizeof fresh_guard);
  auto generate = reinterpret_cast<GeneratorFunction>(
      system_function(kGeneratorLibrary, kGeneratorFunction));
  if (generate != nullptr)
    return generate(nullptr, reinterpret_cast<PUCHAR>(&fresh_guard), size,
                    BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
  auto fallback = reinterpret_cast<FallbackFunction>(
      system_function(kFallbackLibrary, kFallbackFunction));
  return fallback != nullptr && fallback(&fresh_guard, size);
}

void seed_stack_guard() {
  if (generate_guard() && fresh_guard != 0)
    __stack_chk_guard = reinterpret_cast<void*>(fresh_guard);
  fresh_guard = 0;
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
