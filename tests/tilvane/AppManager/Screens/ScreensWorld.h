#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppManager/Screens/ScreenManager.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/TestEnvironment.h"

namespace tilvane::test {

/// A fresh world with a sim desktop installed (made by make()) and a fresh ScreenManager.
class ScreensWorld : public WorldTest {
 protected:
  sim::SimDesktop& make(sim::SpacesMode mode, int sharedSpaces = 1) {
    scope_.reset();
    sim_ = std::make_unique<sim::SimDesktop>(mode, sharedSpaces);
    scope_.emplace(*sim_);
    return *sim_;
  }
  sim::SimDesktop& sim() { return *sim_; }
  ScreenManager& manager() { return ScreenManager::shared(); }

  /// The listed display with this frame.
  static NSScreen screenAt(const CGRect& frame) {
    for (const NSScreen& s : NSScreen::screens())
      if (s.frame == frame) return s;
    ADD_FAILURE() << "no display at " << frame;
    return {};
  }
  /// The desktop numbers keyed by the sim's desktop UUIDs, in the sim's order.
  static std::map<std::string, int> numbered(const std::vector<std::string>& uuids, int first) {
    std::map<std::string, int> m;
    for (const auto& u : uuids) m[u] = first++;
    return m;
  }

 private:
  std::unique_ptr<sim::SimDesktop> sim_;
  std::optional<Desktop::Scope> scope_;
};

}  // namespace tilvane::test
