// The chooser's window and timer: opening, following the window, closing and the unavailable signal.
#include "BuildInLayoutAction/LayoutChooser.h"

#include <utility>

#include "AppManager/Geometry/NSScreenExtension.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "platform/desktop/NSApplication.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane {
namespace {

constexpr double kIdleClose = 1.5;
constexpr double kUnavailableFlash = 0.8;

/// Flips a rectangle between the window space (top-left origin, y down) and the display space (bottom-left
/// origin, y up) around the primary display's height; the flip is its own inverse.
CGRect flipped(const CGRect& rect) {
  const std::optional<NSScreen> primary = NSScreenExtension::primary();
  const double pivot = primary ? primary->frame.size.height : 0;
  return CGRectMake(rect.origin.x, pivot - rect.origin.y - rect.size.height, rect.size.width, rect.size.height);
}

}  // namespace

LayoutChooser::LayoutChooser(BuildInLayoutActionController& actions)
    : actions_(actions), self_(std::make_shared<LayoutChooser*>(this)) {}

LayoutChooser::~LayoutChooser() = default;

void LayoutChooser::setView(std::unique_ptr<LayoutChooserView> view) {
  if (view_) view_->setKeyDownHandler(nullptr);
  view_ = std::move(view);
  if (!view_) return;
  std::weak_ptr<LayoutChooser*> weak = self_;
  view_->setKeyDownHandler([weak](const ChooserKeyEvent& event) {
    if (auto self = weak.lock()) (*self)->handleKeyDown(event);
  });
}

void LayoutChooser::startChooser() {
  const std::optional<SIWindow> focused = SIWindow::focusedWindow();
  if (!focused) {
    showUnavailable();
    return;
  }
  if (timer_.isPending()) {
    // Open already: it stays over its window; only the idle time starts again.
    timer_.cancel();
  } else {
    focusedWindow_ = focused;
    showChooser();
  }
  timer_.schedule(kIdleClose, [this] { onTimeup(); });
}

void LayoutChooser::showChooser() {
  if (!focusedWindow_) return;
  ++shown_;
  const CGRect windowFrame = focusedWindow_->frame();
  setLogo(ChooserLogo::layoutCenter);
  setBorderWidth(kChooserBorderWidth);
  setWindowFrame(flipped(windowFrame));
  bringToFront();
  updateBorder();
}

void LayoutChooser::updateBorder() {
  if (!focusedWindow_) return;
  setWindowFrame(flipped(focusedWindow_->frame()));
}

void LayoutChooser::hideChooser() {
  timer_.cancel();
  setVisible(false);
  if (focusedWindow_) focusedWindow_->focusWindow();
  focusedWindow_.reset();
  currentLayoutNode_ = nullptr;
}

void LayoutChooser::onTimeup() {
  timer_.cancel();
  hideChooser();
}

void LayoutChooser::showUnavailable() {
  const std::optional<NSScreen> screen = NSScreen::mainScreen();
  if (!screen) return;
  setLogo(ChooserLogo::layoutCenterDisabled);
  setBorderWidth(0);
  setWindowFrame(screen->frame);
  bringToFront();
  // The signal closes the chooser when its time is up, unless the chooser has been shown over a window since:
  // a hot key pressed during the flash must not have its chooser closed under it.
  after(kUnavailableFlash, [shown = shown_](LayoutChooser& self) {
    if (self.shown_ == shown) self.hideChooser();
  });
}

void LayoutChooser::bringToFront() {
  setVisible(true);
  NSApplication::activateIgnoringOtherApps(true);
  level_ = CGWindowLevelForKey(CGWindowLevelKey::kCGFloatingWindowLevelKey);
  if (view_) view_->setLevel(level_);
}

void LayoutChooser::setWindowFrame(const CGRect& frame) {
  frame_ = frame;
  if (view_) view_->setFrame(flipped(frame));
}

void LayoutChooser::setVisible(bool visible) {
  visible_ = visible;
  if (view_) view_->setIsVisible(visible);
}

void LayoutChooser::setLogo(ChooserLogo logo) {
  logo_ = logo;
  if (view_) view_->setLogo(logo);
}

void LayoutChooser::setBorderWidth(double width) {
  borderWidth_ = width;
  if (view_) view_->setBorderWidth(width);
}

void LayoutChooser::after(double seconds, std::function<void(LayoutChooser&)> step) {
  std::weak_ptr<LayoutChooser*> weak = self_;
  dispatch::MainQueue::asyncAfter(seconds, [weak, step = std::move(step)] {
    if (auto self = weak.lock()) step(**self);
  });
}

}  // namespace tilvane
