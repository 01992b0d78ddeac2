#pragma once

#include <memory>
#include <string>
#include <vector>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/SIApplication.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"
#include "support/windows/StoredRecord.h"

namespace tilvane::test {

/// Two displays side by side, each with desktops of its own: the first 1440 × 900 (visible frame
/// (0, 0, 1440, 877)) with `leftSpaces` desktops, the second 1280 × 800 to its right with `rightSpaces`.
/// Desktops are numbered across the displays, so the second display's first desktop is number `leftSpaces`.
/// The window side's managers are started as the application starts them.
class DesktopsWorld : public WorldTest {
 protected:
  DesktopsWorld(int leftSpaces = 3, int rightSpaces = 2) {
    left_ = sim_.addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877),
                             .spaceCount = leftSpaces});
    right_ = sim_.addDisplay({.frame = CGRectMake(1440, 0, 1280, 800), .spaceCount = rightSpaces});
    scope_ = std::make_unique<Desktop::Scope>(sim_);
    StoreService::shared().configureRealm();
    ScreenManager& screens = ScreenManager::shared();
    screens.reloadScreens();
    screens.observe();
    LayoutManager::shared().setup();
    LayoutManager::shared().bind();
    ApplicationManager::shared().setup();
    ApplicationManager::shared().observe();
    pid_ = sim_.applications().addApplication({.bundleIdentifier = "org.example.Editor"});
    ApplicationManager::shared().addApplication(SIApplication(pid_));
  }
  ~DesktopsWorld() override {
    // The managers go before the desktop they observe.
    SharedInstances::resetAll();
    scope_.reset();
  }

  sim::SimDesktop& sim() { return sim_; }
  const std::string& leftDisplay() const { return left_; }
  const std::string& rightDisplay() const { return right_; }

  /// A window of the application at `frame`, admitted and settled, remembered at `fractions` of the display
  /// at `screenIndex` (0 the left one, 1 the right one), where the admission lays it out.
  AXUIElement managedWindow(const CGRect& frame, const CGRect& fractions, CGSize minimumSize = {1, 1},
                            int screenIndex = 0) {
    storeAutoLayoutRecord(
        {.bundle = "org.example.Editor", .fractions = fractions, .screenCount = 2, .screenIndex = screenIndex});
    const AXUIElement w = sim_.applications().addWindow(pid_, {.frame = frame, .minimumSize = minimumSize});
    WindowManager::shared().addWindow(SIWindow(w));
    advance(3.0);  // laid out at its remembered place and settled
    return w;
  }
  /// A window of the application that the program does not manage.
  AXUIElement unmanagedWindow(const CGRect& frame) { return sim_.applications().addWindow(pid_, {.frame = frame}); }

  CGRect frameOf(const AXUIElement& w) { return sim_.applications().frameOf(w).value_or(CGRect{}); }
  /// Whether the window is on a desktop that a display shows now.
  bool shown(const AXUIElement& w) const {
    for (const SIWindow& window : SIApplication(pid_).windows())
      if (window.axElement() == w) return true;
    return false;
  }
  /// Shows desktop `number` of the display (numbers run across displays).
  void show(int number) {
    std::vector<std::string> all = sim_.spaceUuids(left_);
    for (const std::string& uuid : sim_.spaceUuids(right_)) all.push_back(uuid);
    sim_.switchToSpace(all.at(static_cast<std::size_t>(number)));
    drain();
  }

  LogManager::Capture log;

 private:
  sim::SimDesktop sim_{sim::SpacesMode::separate};
  std::unique_ptr<Desktop::Scope> scope_;
  std::string left_;
  std::string right_;
  pid_t pid_ = 0;
};

}  // namespace tilvane::test
