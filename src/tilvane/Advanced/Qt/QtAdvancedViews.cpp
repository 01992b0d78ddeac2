#include "Advanced/Qt/QtAdvancedViews.h"

#include "Advanced/Qt/QtHostPaneView.h"
#include "CustomLayout/Host/CustomLayoutPreferencesViewController.h"
#include "CustomLayout/Qt/QtCustomLayoutListView.h"
#include "Preferences/Qt/QtPaneWindow.h"
#include "RuleLayout/Qt/AppRuleViewController.h"
#include "RuleLayout/Host/RuleLayoutPreferencesViewController.h"
#include "WorkspaceLayout/Host/WorkspacePreferencesViewController.h"
#include "WorkspaceLayout/Qt/QtWorkspaceListView.h"

namespace tilvane {

std::unique_ptr<PaneWindowView> QtAdvancedViews::makeWindow() { return std::make_unique<QtPaneWindow>(); }

std::unique_ptr<PaneView> QtAdvancedViews::makeView(WorkspacePreferencesViewController& pane) {
  // Asking for the list's view loads it, and its editor's, with their set-up.
  auto* list = dynamic_cast<QtWorkspaceListView*>(pane.workspaceViewController().view());
  return std::make_unique<QtHostPaneView>(pane, list ? list->widget() : nullptr);
}

std::unique_ptr<PaneView> QtAdvancedViews::makeView(RuleLayoutPreferencesViewController& pane) {
  // The application list is a Qt view controller: it lives with the pane's view.
  return std::make_unique<QtHostPaneView>(pane, std::make_unique<AppRuleViewController>());
}

std::unique_ptr<PaneView> QtAdvancedViews::makeView(CustomLayoutPreferencesViewController& pane) {
  // Asking for the list's view loads it, and its editor's, with their set-up.
  auto* list = dynamic_cast<QtCustomLayoutListView*>(pane.customLayoutViewController().view());
  return std::make_unique<QtHostPaneView>(pane, list ? list->widget() : nullptr);
}

}  // namespace tilvane
