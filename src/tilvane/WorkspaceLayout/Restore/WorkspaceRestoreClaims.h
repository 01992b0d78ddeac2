#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/desktop/SIWindow.h"

namespace tilvane {

/// The windows the items of one workspace restore have taken, shared by that restore's item operations. Two
/// items of one application are two windows: a window one item took is never taken by another, and an item
/// whose application already gave a window to an earlier item starts a new instance of it. Main thread only.
class WorkspaceRestoreClaims {
 public:
  /// `window` belongs to the item of application `bundleID` from now on.
  void claim(const SIWindow& window, const std::string& bundleID);
  bool isClaimed(const SIWindow& window) const;
  /// Whether an item has taken a window of this application.
  bool hasClaimedWindowOf(const std::string& bundleID) const;

 private:
  std::vector<std::pair<SIWindow, std::string>> claims_;
};

}  // namespace tilvane
