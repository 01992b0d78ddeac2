#pragma once

#include <memory>
#include <string>

#include "platform/desktop/Desktop.h"
#include "platform/desktop/x11/X11Desktop.h"
#include "support/x11/TestDesktop.h"

namespace tilvane::test::x11 {

/// An X test with the X11 backend connected to the test desktop and installed as the desktop (Desktop::Scope).
/// waitUntil() delivers what the backend watches (its X connection, the processes it follows) and runs what
/// that queued on the virtual main loop between checks, as the real main loop would.
class X11BackendTest : public X11DesktopTest {
 protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(reconnect());
  }

  void TearDown() override {
    X11DesktopTest::TearDown();
    scope_.reset();
    desktop_.reset();
  }

  tilvane::x11::X11Desktop& desktop() { return *desktop_; }
  /// Connects a new backend to the test desktop and installs it; false (with a test failure) when it cannot.
  bool reconnect() {
    std::string error;
    desktop_ = tilvane::x11::X11Desktop::connect(display(), &error);
    if (!desktop_) {
      ADD_FAILURE() << error;
      return false;
    }
    scope_ = std::make_unique<Desktop::Scope>(*desktop_);
    setPump([this] {
      if (!desktop_) return;
      notifyReadableDescriptors(loop());
      drain();
    });
    return true;
  }

  /// Ends the backend (as a restart of the program does).
  void disconnect() {
    setPump(nullptr);
    scope_.reset();
    desktop_.reset();
  }

  /// Handles every event the server sent the backend so far: after a round trip on its connection they are all
  /// queued, and the pump hands them over.
  void catchUp() {
    desktop_->connection().sync();
    waitUntil([] { return true; });
  }

  /// The backend's element of a client window, once the backend has seen it.
  std::optional<AXUIElement> element(std::uint32_t window) {
    std::optional<AXUIElement> found;
    waitUntil([&] { return (found = desktop_->applications().elementOf(window)).has_value(); });
    return found;
  }

 private:
  std::unique_ptr<tilvane::x11::X11Desktop> desktop_;
  std::unique_ptr<Desktop::Scope> scope_;
};

}  // namespace tilvane::test::x11
