#include "UI/HUD/VkHUD.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "AppManager/Geometry/NSScreenExtension.h"
#include "UI/HUD/VkHUDGeometry.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/NSScreen.h"

namespace tilvane {
namespace {

// Room kept between the window and each side of the display, besides the 20 points around the text.
constexpr double kSideRoom = 20;
constexpr double kTextPadding = 40;
// Below this a line is no longer read; a longer text is still shown whole, smaller.
constexpr double kSmallestPoints = 1;

// A text wider than the display is set smaller until the window fits on it, never cut; returns its new size.
CGSize fitToWidth(VkHUDView& view, double points, CGSize textSize, double displayWidth) {
  const double room = displayWidth - kTextPadding - 2 * kSideRoom;
  // Text widths do not scale exactly with the size: a few steps reach a size that fits.
  for (int step = 0; step < 8 && room > 0 && textSize.width > room && points > kSmallestPoints; ++step) {
    double next = std::floor(points * room / textSize.width * 2) / 2;  // in half points
    if (next >= points) next = points - 0.5;
    points = std::max(kSmallestPoints, next);
    view.setFontSize(points);
    textSize = view.sizeToFit();
  }
  return textSize;
}

CGRect firstVisibleFrame() {
  const std::vector<NSScreen> screens = NSScreen::screens();
  return screens.empty() ? CGRect{} : screens.front().visibleFrame;
}

}  // namespace

VkHUD& VkHUD::shared() { return SharedInstance<VkHUD>::get(); }

VkHUD::VkHUD() : self_(std::make_shared<VkHUD*>(this)) {}
VkHUD::~VkHUD() = default;

void VkHUD::setView(std::unique_ptr<VkHUDView> view) { view_ = std::move(view); }

void VkHUD::show(const std::string& text, double duration, VkHUDPosition position, VkHUDSize size,
                 VkHUDStyle style, bool bordered) {
  // Tasks hold the instance weakly: none runs after it is gone.
  std::weak_ptr<VkHUD*> weak = self_;
  // The message count is touched on the main thread only; from elsewhere everything is handed to it.
  if (!dispatch::MainQueue::isMainThread()) {
    dispatch::MainQueue::async([=] {
      if (auto self = weak.lock()) (*self)->show(text, duration, position, size, style, bordered);
    });
    return;
  }
  const std::uint64_t message = ++shows_;
  const CGRect visibleFrame = firstVisibleFrame();
  dispatch::MainQueue::async([=] {
    if (auto self = weak.lock()) (*self)->present(text, size, style, visibleFrame, bordered, position, message);
  });
  dispatch::MainQueue::asyncAfter(duration, [weak, message] {
    if (auto self = weak.lock()) (*self)->hideMessage(message);
  });
}

void VkHUD::present(const std::string& text, VkHUDSize size, VkHUDStyle style, const CGRect& visibleFrame,
                    bool bordered, VkHUDPosition position) {
  present(text, size, style, visibleFrame, bordered, position, ++shows_);
}

void VkHUD::present(const std::string& text, VkHUDSize size, VkHUDStyle style, const CGRect& visibleFrame,
                    bool bordered, VkHUDPosition position, std::uint64_t message) {
  presented_ = message;
  text_ = text;
  const HUDMetrics metrics = hudMetrics(size);
  const HUDPalette palette = hudPalette(style);
  CGSize textSize;
  if (view_) {
    view_->setText(text);
    view_->setFontSize(metrics.fontSize);
    view_->setTextColor(palette.text);
    view_->setBackgroundColor(palette.background);
    // Without a border only the width changes; the colour stays as it was.
    if (bordered) {
      view_->setBorderWidth(metrics.borderWidth);
      view_->setBorderColor(palette.border);
    } else {
      view_->setBorderWidth(0);
    }
    textSize = view_->sizeToFit();
    textSize = fitToWidth(*view_, metrics.fontSize, textSize, visibleFrame.size.width);
  }
  frame_ = hudFrame(textSize, visibleFrame, position);
  visible_ = true;
  if (view_) {
    const std::optional<NSScreen> pivot = NSScreenExtension::primary();
    const double pivotHeight = pivot ? pivot->frame.size.height : 0;
    CGRect windowFrame = frame_;
    windowFrame.origin.y = pivotHeight - frame_.origin.y - frame_.size.height;
    view_->setFrame(windowFrame);
    view_->orderFront();
  }
  // A fade-out still running belongs to the message just replaced: it is dropped with its removal.
  fade_.start(0.0, 1.0, 0.1, [this](double alpha) { setAlpha(alpha); }, nullptr);
}

void VkHUD::hide() {
  if (!visible_) return;
  presented_ = 0;
  fade_.start(alpha_, 0.0, 0.2, [this](double alpha) { setAlpha(alpha); }, [this] {
    if (view_) view_->orderOut();
    visible_ = false;
    setAlpha(0);
  });
}

void VkHUD::hideMessage(std::uint64_t message) {
  if (message == presented_) hide();
}

void VkHUD::setAlpha(double alpha) {
  alpha_ = alpha;
  if (view_) view_->setAlpha(alpha);
}

}  // namespace tilvane
