// Linked into every suite that changes c:\windows, HKLM or Program Files:
// before any test runs it makes sure this is a Wine prefix, and refuses to
// touch a real Windows machine.
#include <gtest/gtest.h>

#include "machine.h"

namespace {

class WineOnly : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!testsupport::running_under_wine()) {
      GTEST_FAIL() << "These tests change the machine and run only under "
                      "Wine; refusing to run on a real Windows machine.";
    }
  }
};

const ::testing::Environment* const kWineOnly =
    ::testing::AddGlobalTestEnvironment(new WineOnly);

}  // namespace
