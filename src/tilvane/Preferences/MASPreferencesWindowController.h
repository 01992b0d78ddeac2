#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Preferences/PaneWindowView.h"
#include "Preferences/PreferencePane.h"

namespace tilvane {

/// A window of panes with a toolbar, one item per pane, and one pane shown at a time at its own fixed size.
/// Shared by the preferences window and the advanced window. The first pane is shown until another is
/// selected; the window may be absent (no toolkit), and then only the selection is kept. Main thread only.
class MASPreferencesWindowController {
 public:
  /// `panes` in toolbar order; they must outlive the controller. `window` may be null.
  MASPreferencesWindowController(std::vector<PreferencePane*> panes, std::string title,
                                 std::unique_ptr<PaneWindowView> window);

  /// The window; null when there is none.
  PaneWindowView* window() const { return window_.get(); }
  const std::string& title() const { return title_; }
  const std::vector<PreferencePane*>& viewControllers() const { return panes_; }

  /// Makes the pane at `index` the visible one; an index outside the panes leaves the current one.
  void selectControllerAtIndex(int index);
  int selectedIndex() const { return selected_; }
  PreferencePane* selectedViewController() const;

  /// Shows the window (with the selected pane) and brings it to the front.
  void showWindow();

 private:
  void showSelected();

  std::vector<PreferencePane*> panes_;
  std::string title_;
  std::unique_ptr<PaneWindowView> window_;
  int selected_ = 0;
  bool paneShown_ = false;
};

}  // namespace tilvane
