// Entry point of tests that make real Qt widgets: the usual sandbox, plus a QApplication on the offscreen
// platform so widgets can be made without a display.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/ProcessSandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const tilvane::test::ProcessSandbox sandbox;
  const tilvane::test::ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
