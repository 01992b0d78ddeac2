#include "AppManager/Screens/ScreenManager.h"

#include "AppManager/Screens/DisplayUuid.h"
#include "AppManager/Screens/ScreenOrder.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/WindowServer.h"

namespace tilvane {
namespace {
// Numbers the listed desktops that carry a UUID, continuing from `counter`; the others use up no number.
std::map<std::string, int> numberSpaces(const std::vector<ManagedSpace>& spaces, int& counter) {
  std::map<std::string, int> numbers;
  for (const ManagedSpace& space : spaces) {
    if (!space.uuid) continue;
    numbers[*space.uuid] = counter++;
  }
  return numbers;
}
}  // namespace

ScreenManager& ScreenManager::shared() { return SharedInstance<ScreenManager>::get(); }

void ScreenManager::reloadScreens() {
  screens_.clear();
  for (const NSScreen& screen : NSScreen::screens())
    screens_.push_back(ScreenInfo{screenDisplayUuid(screen).value_or(std::string{}), screen.frame, {}});
  sortScreens(screens_);

  const std::optional<ManagedDisplaySpaces> listing = CGSCopyManagedDisplaySpaces();
  if (!listing) return;

  int counter = 0;
  if (!NSScreen::screensHaveSeparateSpaces()) {
    // One set of desktops: the first display's, given to every display.
    if (listing->empty() || !listing->front().spaces) return;
    const std::map<std::string, int> numbers = numberSpaces(*listing->front().spaces, counter);
    for (ScreenInfo& info : screens_) info.spaces = numbers;
  } else {
    for (const ManagedDisplay& display : *listing) {
      if (!display.displayIdentifier || !display.spaces) continue;
      // A listed display without a matching entry still uses up its numbers.
      const std::map<std::string, int> numbers = numberSpaces(*display.spaces, counter);
      for (ScreenInfo& info : screens_)
        if (!info.id.empty() && info.id == *display.displayIdentifier) info.spaces = numbers;
    }
  }
  markCurrentSpacesVisited();
}

const ScreenInfo* ScreenManager::findScreenInfo(const std::optional<std::string>& uuid) const {
  if (!uuid) return nullptr;
  for (const ScreenInfo& info : screens_)
    if (info.id == *uuid) return &info;
  return nullptr;
}

}  // namespace tilvane
