#include "bounded_text.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

const size_t kConversionError = static_cast<size_t>(-1);

// Converts source whole with the runtime's measuring conversion and then its
// secure one, which is never handed a target too small for it.
template <typename From, typename To>
bool convert_whole(const From* source, To* target, size_t capacity,
                   size_t* converted,
                   size_t (*measure)(To*, const From*, size_t),
                   errno_t (*convert)(size_t*, To*, size_t, const From*,
                                      size_t)) {
  if (capacity == 0) return false;
  clear_text(target, capacity);
  const size_t needed = measure(nullptr, source, 0);
  size_t done = 0;
  if (needed == kConversionError || needed >= capacity ||
      convert(&done, target, capacity, source, needed) != 0)
    return refuse_text(target, capacity);
  if (converted != nullptr) *converted = done;
  return true;
}

}  // namespace

bool narrow_text(const wchar_t* source, char* target, size_t capacity,
                 size_t* converted) {
  return convert_whole(source, target, capacity, converted, wcstombs,
                       wcstombs_s);
}

bool widen_text(const char* source, wchar_t* target, size_t capacity) {
  return convert_whole(source, target, capacity, nullptr, mbstowcs, mbstowcs_s);
}
