#pragma once

#include <memory>
#include <string>

#include "Advanced/AdvancedViews.h"
#include "Preferences/PreferencePane.h"

namespace tilvane {

/// The advanced window's "Workspaces" pane: 800 × 480. Empty until the workspace list is built.
class WorkspacePreferencesViewController final : public PreferencePane {
 public:
  /// `views` may be null (no toolkit).
  explicit WorkspacePreferencesViewController(AdvancedViews* views = nullptr);

  std::string className() const override { return "WorkspacePreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Advanced::paneSize(); }

 protected:
  void setupUI() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  AdvancedViews* views_;
};

}  // namespace tilvane
