#include "WorkspaceLayout/Restore/WorkspaceRestoreClaims.h"

#include <algorithm>

namespace tilvane {

void WorkspaceRestoreClaims::claim(const SIWindow& window, const std::string& bundleID) {
  if (!isClaimed(window)) claims_.emplace_back(window, bundleID);
}

bool WorkspaceRestoreClaims::isClaimed(const SIWindow& window) const {
  return std::any_of(claims_.begin(), claims_.end(), [&](const auto& claim) { return claim.first == window; });
}

bool WorkspaceRestoreClaims::hasClaimedWindowOf(const std::string& bundleID) const {
  return std::any_of(claims_.begin(), claims_.end(), [&](const auto& claim) { return claim.second == bundleID; });
}

std::vector<AXUIElement> WorkspaceRestoreClaims::windows() const {
  std::vector<AXUIElement> windows;
  windows.reserve(claims_.size());
  for (const auto& [window, bundleID] : claims_) windows.push_back(window.axElement());
  return windows;
}

}  // namespace tilvane
