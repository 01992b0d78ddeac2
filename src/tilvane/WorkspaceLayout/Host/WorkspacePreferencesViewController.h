#pragma once

#include <memory>
#include <string>

#include "Advanced/AdvancedViews.h"
#include "Preferences/PreferencePane.h"
#include "WorkspaceLayout/Editor/WorkspaceViewController.h"

namespace tilvane {

/// The advanced window's "Workspaces" pane: an 800 × 480 pane filled by the workspace list, which it makes.
class WorkspacePreferencesViewController final : public PreferencePane {
 public:
  /// `views` may be null (no toolkit): the pane and its list then work without views.
  explicit WorkspacePreferencesViewController(AdvancedViews* views = nullptr);

  std::string className() const override { return "WorkspacePreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Advanced::paneSize(); }

  WorkspaceViewController& workspaceViewController() { return *workspaceViewController_; }

 protected:
  void setupUI() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  AdvancedViews* views_;
  std::unique_ptr<WorkspaceViewController> workspaceViewController_;
};

}  // namespace tilvane
