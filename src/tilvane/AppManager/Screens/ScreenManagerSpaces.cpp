// Desktop bookkeeping of the screen manager.
#include <algorithm>

#include "AppManager/Screens/DisplayUuid.h"
#include "AppManager/Screens/ScreenManager.h"
#include "platform/desktop/SIWindow.h"
#include "platform/desktop/WindowServer.h"

namespace tilvane {

int ScreenManager::currentSpaceIndex(const std::optional<NSScreen>& screen) const {
  // With shared desktops the screen's display is not asked for.
  return currentSpaceIndexOfDisplay(NSScreen::screensHaveSeparateSpaces() ? screenDisplayUuid(screen)
                                                                          : std::nullopt);
}

namespace {
// A number the desktop listing has: a window's own desktop can be newer than the listing.
std::optional<int> listedSpace(const SIWindow& window, int spaceCount) {
  const auto own = window.space();
  return own && *own >= 0 && *own < spaceCount ? own : std::nullopt;
}
}  // namespace

int ScreenManager::spaceIndexOfWindow(const SIWindow& window, const std::optional<NSScreen>& screen) const {
  if (const auto own = listedSpace(window, spaceCount())) return *own;
  return currentSpaceIndex(screen);
}

int ScreenManager::spaceIndexOfWindowOnDisplay(const SIWindow& window,
                                               const std::optional<std::string>& displayUuid) const {
  if (const auto own = listedSpace(window, spaceCount())) return *own;
  return currentSpaceIndexOfDisplay(displayUuid);
}

int ScreenManager::currentSpaceIndexOfDisplay(const std::optional<std::string>& uuid) const {
  // Asked for every window met: the one current desktop wanted, not the whole listing.
  if (NSScreen::screensHaveSeparateSpaces()) {
    if (!uuid) return 0;
    const std::optional<std::string> current = CGSManagedDisplayGetCurrentSpace(uuid);
    if (!current) return 0;
    for (const ScreenInfo& info : screens_) {
      if (info.id != *uuid) continue;
      if (const auto it = info.spaces.find(*current); it != info.spaces.end()) return it->second;
    }
    return 0;
  }

  // Shared desktops: the first listed display's current desktop, whatever the screen.
  if (screens_.empty()) return 0;
  const std::optional<std::string> current = CGSManagedDisplayGetCurrentSpace(std::nullopt);
  if (!current) return 0;
  const auto& spaces = screens_.front().spaces;
  const auto it = spaces.find(*current);
  return it == spaces.end() ? 0 : it->second;
}

void ScreenManager::markCurrentSpacesVisited() {
  for (const NSScreen& screen : NSScreen::screens()) activedSpaces_.insert(currentSpaceIndex(screen));
}

std::set<int> ScreenManager::currentSpaces() const {
  std::set<int> shown;
  for (const NSScreen& screen : NSScreen::screens()) shown.insert(currentSpaceIndex(screen));
  return shown;
}

int ScreenManager::spaceCount() const {
  if (screens_.empty()) return 1;
  if (!NSScreen::screensHaveSeparateSpaces()) return static_cast<int>(screens_.front().spaces.size());
  std::size_t sum = 0;
  for (const ScreenInfo& info : screens_) sum += info.spaces.size();
  return sum < 1 ? 1 : static_cast<int>(sum);
}

std::vector<int> ScreenManager::allSpaceNumbers() const {
  std::vector<int> numbers;
  for (const ScreenInfo& info : screens_)
    for (const auto& [uuid, number] : info.spaces) numbers.push_back(number);
  return numbers;
}

std::vector<int> ScreenManager::spacesToVisit() const {
  const std::vector<int> all = allSpaceNumbers();
  std::set<int> remaining(all.begin(), all.end());
  for (int visited : activedSpaces_) remaining.erase(visited);
  return {remaining.begin(), remaining.end()};
}

std::vector<int> ScreenManager::spaceNumbers(const std::optional<NSScreen>& screen) const {
  const ScreenInfo* info = findScreenInfo(screenDisplayUuid(screen));
  if (!info) return {};
  std::vector<int> numbers;
  for (const auto& [uuid, number] : info->spaces) numbers.push_back(number);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

}  // namespace tilvane
