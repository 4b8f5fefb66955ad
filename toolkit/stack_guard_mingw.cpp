// mingw builds only (MSVC's /GS cookie is set up by its own runtime). The
// stack protector's runtime seeds its guard in a constructor through
// CryptAcquireContextA and CryptGenRandom, which load a cryptographic
// provider and its libraries into every program at start: under Wine that
// doubled the start of a program. It leaves a guard that is already set
// alone, so this constructor, which runs first, sets it from RtlGenRandom,
// the same system generator without the provider. It takes no address of a
// local, so it carries no guard of its own that the change would break.
#include <windows.h>
// ntsecapi.h needs windows.h first.
#include <ntsecapi.h>
#include <stdint.h>

extern "C" void* __stack_chk_guard;

namespace {

uintptr_t fresh_guard;

__attribute__((constructor(101))) void seed_stack_guard() {
  if (RtlGenRandom(&fresh_guard, sizeof fresh_guard) && fresh_guard != 0) {
    __stack_chk_guard = reinterpret_cast<void*>(fresh_guard);
  }
  fresh_guard = 0;
}

}  // namespace
