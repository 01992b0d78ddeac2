// Custom layouts applied to the focused window.
#include <memory>

#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Windows/LayoutableWindow.h"
#include "Layout/CustomLayout/CustomLayoutFractions.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"

namespace tilvane {

void LayoutManager::applyCustomLayout(const CustomLayoutModel& layout) {
  std::optional<SIWindow> window;
  std::optional<NSScreen> screen;
  std::optional<CGRect> fractions;
  {
    // Decided and sent on what the desktop knows already: the move's request checks by itself that the window
    // is still there, so nothing waits for the window server before it goes out (the frame the placement
    // starts from included).
    const SIWindow::KnownStateReads known;
    window = SIWindow::focusedWindow();
    if (!window || !isLayoutableWindow(*window)) return;
    screen = window->screen();
    if (!screen) return;
    fractions = customLayoutFractions(layout, window->windowID(), customLayoutArrangedIndex, customLayoutArrangedID);
    if (!fractions) return;
    const CGRect frame = TransformUtils::convert(*fractions, screen->visibleFrame);
    const auto move = std::make_shared<CustomLayoutOperation>(*window, frame);
    // The move first, then the bookkeeping. Behind moves still queued it waits its turn, so it stays the last.
    if (layoutOperationQueue_.operationCount() == 0 && !layoutOperationQueue_.isSuspended())
      move->apply(frame.origin.x, frame.origin.y, frame.size.width, frame.size.height);
    else
      layoutOperationQueue_.addOperation(move);
  }
  // The display is known already: asking the window again would cost another round trip.
  saveLayout(*window, *fractions, screen);
}

}  // namespace tilvane
