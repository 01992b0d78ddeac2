#include "platform/desktop/NSScreen.h"

#include "platform/desktop/Desktop.h"

namespace tilvane {

std::vector<NSScreen> NSScreen::screens() {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->displayServer().screens() : std::vector<NSScreen>{};
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
