#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Advanced/AdvancedViews.h"
#include "CustomLayout/Host/CustomLayoutPreferencesViewController.h"
#include "Preferences/MASPreferencesWindowController.h"
#include "RuleLayout/Host/RuleLayoutPreferencesViewController.h"
#include "VkKit/VkRxController.h"
#include "WorkspaceLayout/Host/WorkspacePreferencesViewController.h"

namespace tilvane {

/// What the advanced window reaches outside itself.
struct AdvancedServices {
  /// Opens an address in the user's browser; empty: nothing to open with.
  std::function<bool(const std::string&)> openURL;
  /// Makes the window and the panes' views; null: no window.
  AdvancedViews* views = nullptr;
};

/// The advanced window: the panes Workspaces, Apps and Layouts, in that order, in a pane window titled
/// "AdvancedTitle", with a "Guide" button at the right end of the toolbar (the title bar belongs to the window
/// manager) that opens the guide page. Every AppBridge::openAdvanced shows the window, at the pane it shows, and
/// activates the program. Made once by the main controller once windows may be moved. Main thread only.
class AdvancedViewController : public VkRxController {
 public:
  AdvancedViewController(Passkey key, AdvancedServices services);

  /// The pane window; set once setupUI() has run.
  MASPreferencesWindowController* advancedViewController() const { return advancedViewController_.get(); }
  WorkspacePreferencesViewController& workspaces() { return *workspaces_; }
  RuleLayoutPreferencesViewController& apps() { return *apps_; }
  CustomLayoutPreferencesViewController& layouts() { return *layouts_; }

  /// Shows the window and activates the program; selects no pane.
  void showAdvancedWindow();
  /// The Guide button's tap: opens the guide page in the browser.
  void openGuide();

 protected:
  void setupUI() override;
  void setupViewModel() override;

 private:
  AdvancedServices services_;
  std::unique_ptr<WorkspacePreferencesViewController> workspaces_;
  std::unique_ptr<RuleLayoutPreferencesViewController> apps_;
  std::unique_ptr<CustomLayoutPreferencesViewController> layouts_;
  // Last: the window hands the panes' views back before the panes go.
  std::unique_ptr<MASPreferencesWindowController> advancedViewController_;
};

}  // namespace tilvane
