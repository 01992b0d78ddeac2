// Keeping a placed window on its display.
#include <cmath>

#include "AppManager/Geometry/NSScreenExtension.h"
#include "AppManager/Geometry/PlacedFrames.h"
#include "AppManager/Geometry/Placement.h"
#include "Layout/LayoutManager.h"

namespace tilvane {

void LayoutManager::keepOnScreen(const std::optional<SIWindow>& window) {
  if (!window) return;
  SIWindow w = *window;
  CGRect frame = w.frame();
  const auto screen = SIWindow::screenHolding(frame);
  if (!screen) return;
  const double g = placementGap();
  const CGRect& visible = screen->visibleFrame;

  // Right edge: the x axis is shared by both spaces.
  const double right = visible.origin.x + std::fabs(visible.size.width);
  if (frame.origin.x + frame.size.width > right) {
    w.setPosition({right - frame.size.width - g, frame.origin.y});
    PlacedFrames::shared().movedOn(w, {right - frame.size.width - g, frame.origin.y});
    frame = w.frame();  // where the window went
  }

  // Bottom edge, flipped into the window space on the primary display's height.
  const auto primary = NSScreenExtension::primary();
  if (!primary) return;
  const double bottom = std::fabs(primary->frame.size.height) - visible.origin.y;
  if (frame.origin.y + frame.size.height > bottom) {
    w.setPosition({frame.origin.x, bottom - frame.size.height - g});
    PlacedFrames::shared().movedOn(w, {frame.origin.x, bottom - frame.size.height - g});
  }
}

}  // namespace tilvane
