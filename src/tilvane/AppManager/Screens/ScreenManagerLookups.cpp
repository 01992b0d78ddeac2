// Display lookups of the screen manager.
#include <algorithm>

#include "AppManager/Screens/DisplayUuid.h"
#include "AppManager/Screens/ScreenManager.h"

namespace tilvane {
namespace {
bool holdsSpace(const ScreenInfo& info, int space) {
  return std::any_of(info.spaces.begin(), info.spaces.end(), [space](const auto& entry) { return entry.second == space; });
}

// The listed display whose UUID is `uuid`; absent for an absent UUID or when none has it. Asked for every window
// laid out: the displays are walked in place, not listed.
std::optional<NSScreen> screenWithUuid(const std::optional<std::string>& uuid) {
  if (!uuid) return std::nullopt;
  struct {
    const std::string& uuid;
    std::optional<NSScreen> found;
  } search{*uuid, std::nullopt};
  NSScreen::visitScreens([&search](const NSScreen& screen) {
    if (!search.found && screenDisplayUuid(screen) == search.uuid) search.found = screen;
  });
  return search.found;
}
}  // namespace

int ScreenManager::screenIndex(const std::optional<NSScreen>& screen) const {
  return screenIndexOfDisplay(screenDisplayUuid(screen));
}

int ScreenManager::screenIndexOfDisplay(const std::optional<std::string>& uuid) const {
  if (!uuid) return 0;
  for (std::size_t i = 0; i < screens_.size(); ++i)
    if (screens_[i].id == *uuid) return static_cast<int>(i);
  return 0;
}

CGRect ScreenManager::screenFrameAtIndex(int index) const {
  if (screens_.empty()) return CGRect{};
  if (index < 0 || static_cast<std::size_t>(index) >= screens_.size()) return screens_.front().frame;
  return visibleFrame(screens_[static_cast<std::size_t>(index)].id);
}

CGRect ScreenManager::visibleFrame(const std::string& displayUuid) const {
  if (!displayUuid.empty()) {
    if (const std::optional<NSScreen> screen = screenWithUuid(displayUuid)) return screen->visibleFrame;
  }
  return screens_.empty() ? CGRect{} : screens_.front().frame;
}

CGRect ScreenManager::screenFrameForSpace(int space) const {
  for (const ScreenInfo& info : screens_)
    if (holdsSpace(info, space)) return visibleFrame(info.id);
  const std::vector<NSScreen> screens = NSScreen::screens();
  return screens.empty() ? CGRect{} : screens.front().frame;
}

std::optional<NSScreen> ScreenManager::screenForSpace(int space) const {
  const std::vector<NSScreen> screens = NSScreen::screens();
  if (screens.empty()) return std::nullopt;
  for (const ScreenInfo& info : screens_) {
    if (!holdsSpace(info, space)) continue;
    if (info.id.empty()) break;
    if (std::optional<NSScreen> screen = screenWithUuid(info.id)) return screen;
    break;
  }
  return screens.front();
}

bool ScreenManager::screenHasSpace(int space, const std::optional<NSScreen>& screen) const {
  const std::optional<std::string> uuid = screenDisplayUuid(screen);
  if (!uuid) return false;
  return std::any_of(screens_.begin(), screens_.end(),
                     [&](const ScreenInfo& info) { return info.id == *uuid && holdsSpace(info, space); });
}

std::optional<NSScreen> ScreenManager::nextScreen(const std::optional<NSScreen>& screen) const {
  if (!screen) return NSScreen::mainScreen();
  const std::vector<NSScreen> screens = NSScreen::screens();
  if (screens.empty()) return std::nullopt;
  const std::optional<std::string> uuid = screenDisplayUuid(screen);
  for (std::size_t i = 0; i < screens.size(); ++i) {
    if (screenDisplayUuid(screens[i]) != uuid) continue;  // two missing UUIDs are equal here
    return screens[(i + 1) % screens.size()];
  }
  return screens.front();
}

}  // namespace tilvane
