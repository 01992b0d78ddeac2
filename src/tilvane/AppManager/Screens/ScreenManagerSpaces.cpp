// Desktop bookkeeping of the screen manager.
#include <algorithm>

#include "AppManager/Screens/DisplayUuid.h"
#include "AppManager/Screens/ScreenManager.h"
#include "platform/desktop/WindowServer.h"

namespace tilvane {

int ScreenManager::currentSpaceIndex(const std::optional<NSScreen>& screen) const {
  const std::optional<ManagedDisplaySpaces> listing = CGSCopyManagedDisplaySpaces();
  if (!listing) return 0;

  if (NSScreen::screensHaveSeparateSpaces()) {
    const std::optional<std::string> uuid = screenDisplayUuid(screen);
    for (const ManagedDisplay& display : *listing) {
      if (!display.displayIdentifier) continue;
      if (!uuid || *uuid != *display.displayIdentifier) continue;
      if (!display.currentSpace || !display.currentSpace->uuid) continue;
      for (const ScreenInfo& info : screens_) {
        if (info.id != *display.displayIdentifier) continue;
        if (const auto it = info.spaces.find(*display.currentSpace->uuid); it != info.spaces.end()) return it->second;
      }
    }
    return 0;
  }

  // Shared desktops: the first listed display's current desktop, whatever the screen.
  if (listing->empty() || screens_.empty()) return 0;
  const ManagedDisplay& first = listing->front();
  if (!first.currentSpace || !first.currentSpace->uuid) return 0;
  const auto& spaces = screens_.front().spaces;
  const auto it = spaces.find(*first.currentSpace->uuid);
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
