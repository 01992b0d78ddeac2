#pragma once

#include <functional>

#include "BuildInLayoutAction/ChooserKeys.h"
#include "BuildInLayoutAction/LayoutChooserLook.h"
#include "platform/desktop/CGWindowLevel.h"
#include "platform/desktop/Geometry.h"

namespace tilvane {

/// The window of the layout chooser: borderless and transparent, drawn as a border (kChooserBorderColor, the
/// width set) filling the window with a logo (kChooserLogoSize square) centred in it; able to take the
/// keyboard, whose key-down events it hands to its handler and to nobody else. LayoutChooser drives it; the
/// program's one is the Qt Widgets LayoutAlertWindow, tests use their own. Main thread only.
class LayoutChooserView {
 public:
  /// Receives the window's key-down events.
  using KeyDownHandler = std::function<void(const ChooserKeyEvent& event)>;

  virtual ~LayoutChooserView() = default;

  /// Where the window's key-down events go from now on (null: nowhere).
  virtual void setKeyDownHandler(KeyDownHandler handler) = 0;
  /// The image in the middle.
  virtual void setLogo(ChooserLogo logo) = 0;
  /// The border's width; 0 draws none.
  virtual void setBorderWidth(double width) = 0;
  /// Places the window at `frame`, in the window space (top-left origin of the primary display, y down), and
  /// redraws it at once.
  virtual void setFrame(const CGRect& frame) = 0;
  /// Shows the window in front of the others, taking the keyboard (true), or removes it from the screen.
  virtual void setIsVisible(bool visible) = 0;
  /// Keeps the window at a stacking level (see CGWindowLevelForKey).
  virtual void setLevel(CGWindowLevel level) = 0;
};

}  // namespace tilvane
