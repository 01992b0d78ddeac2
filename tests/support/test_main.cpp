// Test entry point: every test process runs in its own sandbox of XDG folders.
#include <gtest/gtest.h>

#include "support/ProcessSandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const tilvane::test::ProcessSandbox sandbox;
  return RUN_ALL_TESTS();
}
