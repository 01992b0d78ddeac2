#include "platform/desktop/NSScreen.h"

#include "platform/desktop/Desktop.h"

namespace tilvane {

std::vector<NSScreen> NSScreen::screens() {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().screens() : std::vector<NSScreen>{};
}

void NSScreen::visitScreens(const std::function<void(const NSScreen&)>& visit) {
  if (Desktop* desktop = Desktop::current()) desktop->displayServer().visitScreens(visit);
}

std::size_t NSScreen::count() {
  std::size_t count = 0;
  visitScreens([&](const NSScreen&) { ++count; });
  return count;
}

std::optional<NSScreen> NSScreen::primary() {
  struct {
    std::optional<NSScreen> first, atOrigin;
  } found;
  visitScreens([&found](const NSScreen& screen) {
    if (!found.first) found.first = screen;
    if (!found.atOrigin && screen.frame.origin.x == 0.0 && screen.frame.origin.y == 0.0) found.atOrigin = screen;
  });
  return found.atOrigin ? found.atOrigin : found.first;
}

std::optional<NSScreen> NSScreen::mainScreen() {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().mainScreen() : std::nullopt;
}

bool NSScreen::screensHaveSeparateSpaces() {
  Desktop* desktop = Desktop::current();
  return desktop && desktop->displayServer().screensHaveSeparateSpaces();
}

}  // namespace tilvane
