#include "WorkspaceLayout/Restore/WorkspaceRestoreClaims.h"

#include <algorithm>

#include "AppManager/Catalogue/AppManager.h"
#include "platform/desktop/Launcher.h"

namespace tilvane {

WorkspaceRestoreClaims::WorkspaceRestoreClaims() : began_(processClockNow()) {}

void WorkspaceRestoreClaims::addMark(std::string mark) {
  if (!mark.empty()) marks_.push_back(std::move(mark));
}

bool WorkspaceRestoreClaims::isMark(const std::string& mark) const {
  return std::find(marks_.begin(), marks_.end(), mark) != marks_.end();
}

void WorkspaceRestoreClaims::claim(const SIWindow& window, const std::string& bundleID) {
  if (!isClaimed(window)) claims_.emplace_back(window, bundleID);
}

bool WorkspaceRestoreClaims::isClaimed(const SIWindow& window) const {
  return std::any_of(claims_.begin(), claims_.end(), [&](const auto& claim) { return claim.first == window; });
}

bool WorkspaceRestoreClaims::hasClaimedWindowOf(const std::string& bundleID) const {
  return std::any_of(claims_.begin(), claims_.end(),
                     [&](const auto& claim) { return sameApplication(claim.second, bundleID); });
}

std::size_t WorkspaceRestoreClaims::addPlace(std::string bundleID, const WindowSpot& place) {
  places_.push_back({std::move(bundleID), place});
  return places_.size() - 1;
}

void WorkspaceRestoreClaims::closePlace(std::size_t number) {
  if (number < places_.size()) places_[number].open = false;
}

std::vector<std::pair<std::size_t, WindowSpot>> WorkspaceRestoreClaims::openPlaces(
    const std::string& bundleID) const {
  std::vector<std::pair<std::size_t, WindowSpot>> open;
  for (std::size_t i = 0; i < places_.size(); ++i)
    if (places_[i].open && sameApplication(places_[i].bundleID, bundleID)) open.emplace_back(i, places_[i].spot);
  return open;
}

std::vector<AXUIElement> WorkspaceRestoreClaims::windows() const {
  std::vector<AXUIElement> windows;
  windows.reserve(claims_.size());
  for (const auto& [window, bundleID] : claims_) windows.push_back(window.axElement());
  return windows;
}

}  // namespace tilvane
