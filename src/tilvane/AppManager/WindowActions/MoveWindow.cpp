#include "AppManager/WindowActions/MoveWindow.h"

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutManager.h"

namespace tilvane {

void moveWindow(int desktop, SIWindow window) {
  if (desktop < 0) return;
  auto& screens = ScreenManager::shared();
  auto& layout = LayoutManager::shared();
  if (!NSScreen::screensHaveSeparateSpaces() || screens.screenHasSpace(desktop, window.screen())) {
    window.moveToSpace(desktop + 1);
    layout.queueFrameUpdate(window);
    return;
  }
  const auto target = screens.screenForSpace(desktop);
  const auto fractions = layout.savedFrame(window);
  if (!target || !fractions) return;
  placeFrame(window, askedFrame(*fractions, target->visibleFrame), GaplessOrder::setFrame);
  window.moveToSpace(desktop + 1);
  layout.saveLayout(window, *fractions, target);
  layout.keepOnScreen(window);
}

}  // namespace tilvane
