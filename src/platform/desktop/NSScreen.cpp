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
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().screenCount() : 0;
}

std::optional<NSScreen> NSScreen::primary() {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().primaryScreen() : std::nullopt;
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
