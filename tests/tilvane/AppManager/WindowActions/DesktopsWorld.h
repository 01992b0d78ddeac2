#pragma once

#include "support/windows/WindowWorld.h"

namespace tilvane::test {

/// Two displays side by side, each with desktops of its own: the first 1440 × 900 (visible frame
/// (0, 0, 1440, 877)) with `leftSpaces` desktops, the second 1280 × 800 to its right with two. Desktops are
/// numbered across the displays, so the second display's first desktop is number `leftSpaces`.
class DesktopsWorld : public WindowWorld {
 protected:
  explicit DesktopsWorld(int leftSpaces = 3) : WindowWorld(leftSpaces, sim::SpacesMode::separate) {
    sim().addDisplay({.frame = CGRectMake(1440, 0, 1280, 800), .spaceCount = 2});
    startManagers();
  }

  /// A settled window of the editor, remembered at `fractions` of display `screenIndex` (0 left, 1 right).
  AXUIElement managedWindow(const CGRect& frame, const CGRect& fractions, CGSize minimumSize = {1, 1},
                            int screenIndex = 0) {
    storeRecord("org.example.Editor", 0, fractions, 2, 0, screenIndex);
    return settledWindow({.frame = frame, .minimumSize = minimumSize});
  }
};

}  // namespace tilvane::test
