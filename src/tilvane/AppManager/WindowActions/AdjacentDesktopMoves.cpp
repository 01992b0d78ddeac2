#include "AppManager/WindowActions/AdjacentDesktopMoves.h"

#include <algorithm>
#include <optional>

#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/WindowActions/MoveWindow.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {

constexpr double kMoveDelay = 0.1;

/// The desktop `step` (−1 or +1) away from the one the window's display shows, if there is one.
std::optional<int> adjacentDesktop(const SIWindow& window, int step) {
  const auto& screens = ScreenManager::shared();
  const auto screen = window.screen();
  const int current = screens.currentSpaceIndex(screen);
  if (!NSScreen::screensHaveSeparateSpaces()) {
    const int target = current + step;
    if (target < 0 || target > screens.spaceCount() - 1) return std::nullopt;
    return target;
  }
  // Separate desktops: stay among the window's own display's desktops.
  const std::vector<int> numbers = screens.spaceNumbers(screen);
  const auto at = std::find(numbers.begin(), numbers.end(), current);
  if (at == numbers.end()) return std::nullopt;
  if (step < 0) {
    if (at == numbers.begin()) return std::nullopt;
    return *std::prev(at);
  }
  if (std::next(at) == numbers.end()) return std::nullopt;
  return *std::next(at);
}

bool scheduleAdjacentMove(const SIWindow& window, int step) {
  const auto target = adjacentDesktop(window, step);
  if (!target) return false;
  dispatch::MainQueue::asyncAfter(kMoveDelay, [desktop = *target, window] { moveWindow(desktop, window); });
  return true;
}

}  // namespace

bool moveWindowToLeftDesktop(const SIWindow& window) { return scheduleAdjacentMove(window, -1); }

bool moveWindowToRightDesktop(const SIWindow& window) { return scheduleAdjacentMove(window, +1); }

}  // namespace tilvane
