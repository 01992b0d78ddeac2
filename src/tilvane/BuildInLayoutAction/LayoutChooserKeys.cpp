// The chooser's keys: what each key does to the window the chooser acts on.
#include <optional>

#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/WindowActions/AdjacentDesktopMoves.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "BuildInLayoutAction/LayoutChooser.h"
#include "platform/desktop/KeyCodes.h"

namespace tilvane {
namespace {

constexpr double kReopenAfterDesktopMove = 0.5;
constexpr double kFillingShare = 0.9;

}  // namespace

bool LayoutChooser::isWindowFillingScreen(const SIWindow& window) {
  const CGRect frame = window.frame();
  const std::optional<NSScreen> screen = window.screen();
  const CGSize visible = screen ? screen->visibleFrame.size : CGSize{};
  return frame.size.width > visible.width * kFillingShare && frame.size.height > visible.height * kFillingShare;
}

const LayoutNode& LayoutChooser::centreOrFullscreen(const SIWindow& window) const {
  return isWindowFillingScreen(window) ? actions_.layoutCenter() : actions_.layoutFullscreen();
}

void LayoutChooser::handleKeyDown(const ChooserKeyEvent& event) {
  if (!focusedWindow_) return;
  // A copy: closing the chooser forgets focusedWindow_, and the window is still acted on after that.
  const SIWindow window = *focusedWindow_;
  const CGKeyCode key = event.keyCode;

  if (key == kVK_Escape) {
    hideChooser();
    return;
  }
  // Digits come before any modifier: Shift+2 is a desktop key too.
  if (const std::optional<int> desktop = desktopForDigitKey(key)) {
    if (ScreenManager::shared().spaceCount() < *desktop + 1) {
      showUnavailable();
      return;
    }
    hideChooser();
    actions_.applyLayoutType(window, LayoutNode::Type::moveToDesktop(*desktop));
    return;
  }
  if (event.modifierFlags & kCGEventFlagMaskAlternate) {
    handleOptionKey(key, window);
  } else if (event.modifierFlags & kCGEventFlagMaskShift) {
    handleShiftKey(key, window);
  } else {
    handlePlainKey(key, window);
  }
}

void LayoutChooser::handlePlainKey(CGKeyCode key, const SIWindow& window) {
  if (currentLayoutNode_) {
    // Along the graph; a key without an edge (Tab included) does nothing.
    if (const LayoutNode* next = currentLayoutNode_->node(key)) applyNode(*next, window);
    return;
  }
  switch (key) {
    case kVK_LeftArrow: applyNode(actions_.layoutHalfLeft(), window); return;
    case kVK_RightArrow: applyNode(actions_.layoutHalfRight(), window); return;
    case kVK_DownArrow: applyNode(actions_.layoutHalfBottom(), window); return;
    case kVK_UpArrow: applyNode(actions_.layoutHalfTop(), window); return;
    case kVK_Return: applyNode(centreOrFullscreen(window), window); return;
    case kVK_Tab: switchDisplay(window); return;
    default: return;
  }
}

void LayoutChooser::handleOptionKey(CGKeyCode key, const SIWindow& window) {
  switch (key) {
    case kVK_Tab: switchDisplay(window); return;
    case kVK_LeftArrow: applyNode(actions_.layoutMoveLeft(), window); return;
    case kVK_RightArrow: applyNode(actions_.layoutMoveRight(), window); return;
    case kVK_DownArrow: applyNode(actions_.layoutMoveDown(), window); return;
    case kVK_UpArrow: applyNode(actions_.layoutMoveUp(), window); return;
    case kVK_Return: applyNode(centreOrFullscreen(window), window); return;
    default:
      // Any other key applies the current action once more.
      if (currentLayoutNode_) applyNode(*currentLayoutNode_, window);
      return;
  }
}

void LayoutChooser::handleShiftKey(CGKeyCode key, const SIWindow& window) {
  switch (key) {
    case kVK_Tab: switchDisplay(window); return;
    case kVK_DownArrow: applyNode(actions_.layoutZoomOut(), window); return;
    case kVK_UpArrow: applyNode(actions_.layoutZoomIn(), window); return;
    case kVK_Return: applyNode(centreOrFullscreen(window), window); return;
    case kVK_LeftArrow: moveToAdjacentDesktop(window, -1); return;
    case kVK_RightArrow: moveToAdjacentDesktop(window, +1); return;
    default: return;
  }
}

void LayoutChooser::applyNode(const LayoutNode& node, const SIWindow& window) {
  currentLayoutNode_ = &node;
  actions_.applyLayoutType(window, node.type());
  updateBorder();
  startChooser();
}

void LayoutChooser::switchDisplay(const SIWindow& window) {
  actions_.applyLayoutType(window, LayoutNode::Type::switchScreen);
  updateBorder();
  startChooser();
}

void LayoutChooser::moveToAdjacentDesktop(const SIWindow& window, int step) {
  hideChooser();
  const bool moving = step < 0 ? moveWindowToLeftDesktop(window) : moveWindowToRightDesktop(window);
  if (!moving) {
    showUnavailable();
    return;
  }
  after(kReopenAfterDesktopMove, [window](LayoutChooser& self) { self.reopen(window); });
}

void LayoutChooser::reopen(const SIWindow& window) {
  setVisible(true);
  focusedWindow_ = window;
  startChooser();
  updateBorder();
}

}  // namespace tilvane
