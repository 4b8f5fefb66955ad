#include "text_mode.h"

#include <string.h>

#include "byte_search.h"

namespace {

const char kCtrlZ = 0x1A;
const uint8_t kSpecialBytes[] = {'\r', kCtrlZ};
const ByteSearch kSpecial(kSpecialBytes, 2);

}  // namespace

size_t TextModeDecoder::decode(const char* raw, size_t length, char* out) {
  size_t written = 0;
  size_t i = 0;
  while (i < length && !ended_) {
    if (pending_cr_) {
      pending_cr_ = false;
      if (raw[i] == '\n') {
        out[written++] = '\n';
        ++i;
        continue;
      }
      out[written++] = '\r';
    }
    // Ordinary bytes pass in runs; only CR and Ctrl-Z need a decision.
    const size_t run =
        kSpecial.find(reinterpret_cast<const uint8_t*>(raw), i, length);
    memcpy(out + written, raw + i, run - i);
    written += run - i;
    i = run;
    if (i == length) break;
    if (raw[i] == kCtrlZ) {
      ended_ = true;
    } else {
      pending_cr_ = true;  // a CR is decided by the byte after it
    }
    ++i;
  }
  return written;
}

size_t TextModeDecoder::finish(char* out) {
  if (!pending_cr_ || ended_) return 0;
  pending_cr_ = false;
  out[0] = '\r';
  return 1;
}
