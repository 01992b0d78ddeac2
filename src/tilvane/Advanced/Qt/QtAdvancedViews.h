#pragma once

#include "Advanced/AdvancedViews.h"
#include "CustomLayout/Qt/QtCustomLayoutViews.h"
#include "WorkspaceLayout/Qt/QtWorkspaceViews.h"

namespace tilvane {

/// The advanced window and its panes in Qt Widgets.
class QtAdvancedViews final : public AdvancedViews {
 public:
  std::unique_ptr<PaneWindowView> makeWindow() override;
  std::unique_ptr<PaneView> makeView(WorkspacePreferencesViewController& pane) override;
  std::unique_ptr<PaneView> makeView(RuleLayoutPreferencesViewController& pane) override;
  std::unique_ptr<PaneView> makeView(CustomLayoutPreferencesViewController& pane) override;
  CustomLayoutViews* customLayoutViews() override { return &customLayoutViews_; }
  WorkspaceViews* workspaceViews() override { return &workspaceViews_; }
  WorkspaceDialogs* workspaceDialogs() override { return &workspaceViews_.dialogs(); }

 private:
  QtCustomLayoutViews customLayoutViews_;
  QtWorkspaceViews workspaceViews_;
};

}  // namespace tilvane
