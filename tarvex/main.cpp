// tarvex: removes what earlier driver releases left on this machine: one
// driver package, one product's uninstall registration and, once that is
// gone, one leftover program folder. The exit code is always 0.
#include "driver_store.h"
#include "program_folder.h"
#include "registration.h"

int main() {
  purge_driver_store();
  // The folder goes only once its product's registration has gone.
  if (cleanup_registration() == 0) remove_program_folder();
  return 0;
}
