#pragma once

#include <string>

#include "UI/HUD/VkHUDStyle.h"
#include "platform/desktop/Geometry.h"

namespace tilvane {

/// The window that shows VkHUD's messages: borderless, floating above other windows, letting every mouse
/// event through, never taking the focus, with rounded corners (radius 10) and one line of centred text.
/// VkHUD drives it; the program's one is QtHUDWindow, tests use their own. Main thread only.
class VkHUDView {
 public:
  virtual ~VkHUDView() = default;

  virtual void setText(const std::string& text) = 0;
  /// Keeps the font's family and sets its point size.
  virtual void setFontSize(double points) = 0;
  virtual void setTextColor(const HUDColor& color) = 0;
  virtual void setBackgroundColor(const HUDColor& color) = 0;
  /// 0: no border.
  virtual void setBorderWidth(double width) = 0;
  virtual void setBorderColor(const HUDColor& color) = 0;
  /// Fits the text's label to its text on one line and returns the label's size.
  virtual CGSize sizeToFit() = 0;
  /// Places the window: `frame` in the window space (top-left origin of the primary display, y down); the
  /// label stays centred in it.
  virtual void setFrame(const CGRect& frame) = 0;
  /// Shows the window in front of the others, without taking the focus.
  virtual void orderFront() = 0;
  /// Removes the window from the screen.
  virtual void orderOut() = 0;
  /// The opacity of the window's contents, 0 to 1.
  virtual void setAlpha(double alpha) = 0;
};

}  // namespace tilvane
