// Linked into every suite that changes c:\\windows, HKLM or Program Files:
// before any test runs it makes sure this is a Wine prefix or a machine the
// job says may be changed (DRIVER_TOOLS_THROWAWAY_MACHINE=1, a CI runner
// that is thrown away afterwards), and otherwise skips every test: it never
// touches a real Windows machine that someone keeps.
#include <gtest/gtest.h>

#include "machine.h"

namespace {

class ThrowawayMachineOnly : public ::testing::Environment {
 public:
  void SetUp() override {
    if (testsupport::throwaway_machine()) return;
    GTEST_SKIP() << "These tests change the machine: they run under Wine, or "
                    "where DRIVER_TOOLS_THROWAWAY_MACHINE=1 says the machine "
                    "may be changed.";
  }
};

const ::testing::Environment* const kThrowawayMachineOnly =
    ::testing::AddGlobalTestEnvironment(new ThrowawayMachineOnly);

}  // namespace
