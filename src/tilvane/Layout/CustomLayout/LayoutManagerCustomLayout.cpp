// Custom layouts applied to the focused window.
#include <memory>

#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Windows/LayoutableWindow.h"
#include "Layout/CustomLayout/CustomLayoutFractions.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"

namespace tilvane {

void LayoutManager::applyCustomLayout(const CustomLayoutModel& layout) {
  std::optional<SIWindow> window = SIWindow::focusedWindow();
  if (!window || !isLayoutableWindow(*window)) return;
  const std::optional<NSScreen> screen = window->screen();
  if (!screen) return;
  const std::optional<CGRect> fractions =
      customLayoutFractions(layout, window->windowID(), customLayoutArrangedIndex, customLayoutArrangedID);
  if (!fractions) return;
  const CGRect frame = TransformUtils::convert(*fractions, screen->visibleFrame);
  layoutOperationQueue_.addOperation(std::make_shared<CustomLayoutOperation>(*window, frame));
  // The display is known already: asking the window again would put another round trip before the move.
  saveLayout(*window, *fractions, screen);
}

}  // namespace tilvane
