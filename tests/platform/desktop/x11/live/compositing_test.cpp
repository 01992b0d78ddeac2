// Whether a compositing manager runs: it owns the selection _NET_WM_CM_S0 while it does. The test desktop's
// xfwm4-compositor runs one; elsewhere the probe stands in for one that starts and stops.
#include <gtest/gtest.h>

#include "platform/desktop/ProgramServer.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

class X11CompositingTest : public X11BackendTest {};

TEST_F(X11CompositingTest, ACompositingManagerStartingOrStoppingIsToldOnceEach) {
  const ProgramServer& program = desktop().programServer();
  const bool compositor = windowManager() == "xfwm4-compositor";
  EXPECT_EQ(program.isCompositing(), compositor);
  if (compositor) return;  // its own holds the selection
  int changes = 0;
  const auto subscription =
      desktop().notificationCenter().compositingDidChange().subscribe([&](const rx::Unit&) { ++changes; });
  // One starts and quits; another starts and switches compositing off, handing the selection to no one.
  xcb_window_t owner = probe().takeSelection("_NET_WM_CM_S0");
  ASSERT_TRUE(waitUntil([&] { return program.isCompositing(); }));
  probe().destroy(owner);
  ASSERT_TRUE(waitUntil([&] { return !program.isCompositing(); }));
  owner = probe().takeSelection("_NET_WM_CM_S0");
  ASSERT_TRUE(waitUntil([&] { return program.isCompositing(); }));
  probe().setSelectionOwner("_NET_WM_CM_S0", XCB_WINDOW_NONE);
  ASSERT_TRUE(waitUntil([&] { return !program.isCompositing(); }));
  probe().destroy(owner);
  catchUp();
  EXPECT_EQ(changes, 4);
}

}  // namespace
}  // namespace tilvane::test::x11
