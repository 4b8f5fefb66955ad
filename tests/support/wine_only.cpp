// Linked into every suite that changes c:\\windows, HKLM or Program Files:
// before any test runs it makes sure this is a Wine prefix or a machine the
// job says may be changed (DRIVER_TOOLS_THROWAWAY_MACHINE=1, a CI runner
// that is thrown away afterwards), and otherwise skips every test: it never
// touches a real Windows machine that someone keeps.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include "machine.h"

namespace {

class ThrowawayMachineOnly : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* throwaway = getenv("DRIVER_TOOLS_THROWAWAY_MACHINE");
    if (testsupport::running_under_wine() ||
        (throwaway != nullptr && strcmp(throwaway, "1") == 0)) {
      return;
    }
    GTEST_SKIP() << "These tests change the machine: they run under Wine, or "
                    "where DRIVER_TOOLS_THROWAWAY_MACHINE=1 says the machine "
                    "may be changed.";
  }
};

const ::testing::Environment* const kThrowawayMachineOnly =
    ::testing::AddGlobalTestEnvironment(new ThrowawayMachineOnly);

}  // namespace
