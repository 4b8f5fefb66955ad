// Prints what an old or new driver installation has left on this machine, as
// Windows itself sees it, one item a line: "<section>\t<item>\t<detail>".
// The demo runs it before and after the programs and sets the two side by
// side. Part of the test suite, never shipped.
#include <stdio.h>

#include "installation.h"
#include "text.h"

int main() {
  for (const testsupport::Item& item : testsupport::inventory()) {
    printf("%s\t%s\t%s\n", item.section.c_str(),
           testsupport::utf8(item.name).c_str(), item.detail.c_str());
  }
  return 0;
}
