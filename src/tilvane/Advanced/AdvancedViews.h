#pragma once

#include <memory>

#include "Preferences/PaneView.h"
#include "Preferences/PaneWindowView.h"

namespace tilvane {

class WorkspacePreferencesViewController;
class RuleLayoutPreferencesViewController;
class CustomLayoutPreferencesViewController;
class CustomLayoutViews;
class WorkspaceViews;
class WorkspaceDialogs;

/// Makes the advanced window and its panes' views in a toolkit; installed by the composition root. Without one
/// the advanced window's controllers work without a window.
class AdvancedViews {
 public:
  virtual ~AdvancedViews() = default;
  virtual std::unique_ptr<PaneWindowView> makeWindow() = 0;
  /// A pane's view: the pane's size, filled by the view of the controller the pane hosts (loaded here).
  virtual std::unique_ptr<PaneView> makeView(WorkspacePreferencesViewController& pane) = 0;
  virtual std::unique_ptr<PaneView> makeView(RuleLayoutPreferencesViewController& pane) = 0;
  virtual std::unique_ptr<PaneView> makeView(CustomLayoutPreferencesViewController& pane) = 0;
  /// The views of the Layouts pane's list and editor.
  virtual CustomLayoutViews* customLayoutViews() = 0;
  /// The views of the Workspaces pane's list and editor, and the dialogs they ask on the pane's window.
  virtual WorkspaceViews* workspaceViews() = 0;
  virtual WorkspaceDialogs* workspaceDialogs() = 0;
};

}  // namespace tilvane
