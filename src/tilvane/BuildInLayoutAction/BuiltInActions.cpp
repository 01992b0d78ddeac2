// Applying one built-in layout action to a window.
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/WindowActions/AdjacentDesktopMoves.h"
#include "AppManager/WindowActions/MoveWindow.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/LayoutFractions.h"
#include "Layout/LayoutManager.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
constexpr double kDesktopMoveDelay = 0.1;
constexpr double kStep = 10;
}  // namespace

void BuildInLayoutActionController::performLayout(const LayoutNode::Type& type) {
  std::optional<SIWindow> window;
  {
    // The focus as the desktop last told it: a hot key's move waits for no answer of the window server.
    const SIWindow::KnownStateReads known;
    window = SIWindow::focusedWindow();
  }
  if (window) applyLayoutType(*window, type);
}

void BuildInLayoutActionController::applyLayoutType(SIWindow window, const LayoutNode::Type& type) {
  using Case = LayoutNode::Type::Case;
  switch (type.kind()) {
    case Case::moveToDesktop:
      dispatch::MainQueue::asyncAfter(kDesktopMoveDelay,
                                      [window, desktop = type.desktop()] { moveWindow(desktop, window); });
      return;
    case Case::switchScreen: switchScreen(window); return;
    case Case::moveLeft: nudge(window, -kStep, 0); return;
    case Case::moveRight: nudge(window, kStep, 0); return;
    case Case::moveDown: nudge(window, 0, kStep); return;
    case Case::moveUp: nudge(window, 0, -kStep); return;
    case Case::zoomOut: zoom(window, kStep); return;
    case Case::zoomIn: zoom(window, -kStep); return;
    case Case::moveToLeftDesktop:
      if (!moveWindowToLeftDesktop(window)) showUnavailable();
      return;
    case Case::moveToRightDesktop:
      if (!moveWindowToRightDesktop(window)) showUnavailable();
      return;
    default:
      if (const std::optional<CGRect> fractions = layoutFractions(type)) applyFractions(window, type, *fractions);
      return;
  }
}

void BuildInLayoutActionController::applyFractions(SIWindow& window, const LayoutNode::Type& type,
                                                   const CGRect& fractions) {
  std::optional<NSScreen> screen;
  CGRect frame;
  LayoutManager& layout = LayoutManager::shared();
  {
    // Decided and sent on what the desktop knows already: the move's request checks by itself that the window
    // is still there, so nothing waits for the window server before it goes out.
    const SIWindow::KnownStateReads known;
    screen = window.screen();
    if (!screen) return;
    frame = TransformUtils::convert(fractions, screen->visibleFrame);
    placeFrame(window, frame, GaplessOrder::setFrame);
    layout.keepOnScreen(window);
  }
  layout.saveLayout(window, fractions, screen);
  if (type != LayoutNode::Type::center) return;

  // A window that refused to shrink is centred on the asked rectangle by its own size.
  const CGRect actual = window.frame();
  CGPoint origin = frame.origin;
  if (actual.size.width > frame.size.width) origin.x -= (actual.size.width - frame.size.width) * 0.5;
  if (actual.size.height > frame.size.height) origin.y -= (actual.size.height - frame.size.height) * 0.5;
  window.setFrame(CGRect{origin, frame.size});
  layout.saveLayout(window, fractions, screen);
}

void BuildInLayoutActionController::switchScreen(SIWindow& window) {
  const std::optional<NSScreen> next = ScreenManager::shared().nextScreen(window.screen());
  if (!next) return;
  LayoutManager& layout = LayoutManager::shared();
  const std::optional<RecordedPlace> fractions = layout.savedFrame(window);
  if (!fractions) return;
  placeFrame(window, askedFrame(*fractions, next->visibleFrame), GaplessOrder::setFrame);
  layout.saveLayout(window, *fractions, next);
  layout.keepOnScreen(window);
}

void BuildInLayoutActionController::nudge(SIWindow& window, double dx, double dy) {
  CGRect frame = window.frame();
  frame.origin.x += dx;
  frame.origin.y += dy;
  window.setFrame(frame);
}

void BuildInLayoutActionController::zoom(SIWindow& window, double inset) {
  const CGRect frame = window.frame();
  window.setPosition(CGPoint{frame.origin.x + inset, frame.origin.y + inset});
  window.setSize(CGSize{frame.size.width - 2 * inset, frame.size.height - 2 * inset});
}

}  // namespace tilvane
