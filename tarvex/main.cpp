// tarvex: removes what earlier driver releases left on this machine: one
// driver package, one product's uninstall registration and, once that is
// gone, one leftover program folder. The exit code is always 0.
#include "driver_store.h"
#include "program_folder.h"
#include "registration.h"

int main() {
  // Whatever fails inside (memory running out among it), the exit code is
  // 0, as every caller of tarvex relies on. A driver package that could not
  // be purged does not keep the registration; a registration phase that
  // failed gives no status, and the folder stays.
  try {
    purge_driver_store();
  } catch (...) {
  }
  try {
    // The folder goes only once its product's registration has gone.
    if (cleanup_registration() == 0) remove_program_folder();
  } catch (...) {
  }
  return 0;
}
