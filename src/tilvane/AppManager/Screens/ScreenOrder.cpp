#include "AppManager/Screens/ScreenOrder.h"

#include <utility>

namespace tilvane {

bool screenComesBefore(const ScreenInfo& a, const ScreenInfo& b) {
  return a.frame.origin.x < b.frame.origin.x || a.frame.origin.y < b.frame.origin.y;
}

void sortScreens(std::vector<ScreenInfo>& screens) {
  for (std::size_t i = 1; i < screens.size(); ++i) {
    ScreenInfo moving = std::move(screens[i]);
    std::size_t j = i;
    while (j > 0 && screenComesBefore(moving, screens[j - 1])) {
      screens[j] = std::move(screens[j - 1]);
      --j;
    }
    screens[j] = std::move(moving);
  }
}

}  // namespace tilvane
