#pragma once

#include <functional>
#include <string>
#include <vector>

#include "AppManager/Settings/Constants.h"

namespace tilvane {

class PaneView;

/// One pane's entry in the toolbar of a pane window.
struct ToolbarItem {
  std::string label;
  /// The named image shown above the label.
  std::string image;
};

/// An extra button at the right end of the toolbar (the title bar belongs to the window manager).
struct AccessoryButton {
  std::string title;
  std::string image;
  std::function<void()> onTap;
};

/// The window of a pane window controller, drawn by a toolkit: a toolbar of panes above the pane shown.
class PaneWindowView {
 public:
  virtual ~PaneWindowView() = default;
  /// The window's title and its toolbar; `onSelect` runs with an item's index when the user picks it.
  virtual void setToolbar(const std::string& title, const std::vector<ToolbarItem>& items,
                          std::function<void(int)> onSelect) = 0;
  virtual void setAccessoryButton(AccessoryButton button) = 0;
  /// Shows `view` (null: an empty pane) as the pane at `index`, highlighted in the toolbar; the window takes
  /// the pane's size and cannot be resized or made full screen.
  virtual void showPane(int index, PaneView* view, const Constants::Size& size) = 0;
  /// Shows the window and brings it to the front.
  virtual void showWindow() = 0;
  virtual bool isVisible() const = 0;
};

}  // namespace tilvane
