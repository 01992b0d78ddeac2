// Test entry point: every test process runs with its own XDG folders under a temporary directory, so no test
// can read or write the user's settings, database or logs, even one that forgets to redirect them.
#include <gtest/gtest.h>

#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tilvane::test::ScopedTempDir sandbox;
  tilvane::test::ScopedEnv home("HOME", sandbox.path().string());
  tilvane::test::ScopedEnv data("XDG_DATA_HOME", (sandbox.path() / "data").string());
  tilvane::test::ScopedEnv config("XDG_CONFIG_HOME", (sandbox.path() / "config").string());
  tilvane::test::ScopedEnv run("XDG_RUNTIME_DIR", (sandbox.path() / "run").string());
  return RUN_ALL_TESTS();
}
