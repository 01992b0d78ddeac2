// Entry point of the chooser window's tests: the usual sandboxed XDG folders, plus a QApplication on the
// offscreen platform so real widgets can be made without a display.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tilvane::test::ScopedTempDir sandbox;
  tilvane::test::ScopedEnv home("HOME", sandbox.path().string());
  tilvane::test::ScopedEnv data("XDG_DATA_HOME", (sandbox.path() / "data").string());
  tilvane::test::ScopedEnv config("XDG_CONFIG_HOME", (sandbox.path() / "config").string());
  tilvane::test::ScopedEnv run("XDG_RUNTIME_DIR", (sandbox.path() / "run").string());
  tilvane::test::ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
