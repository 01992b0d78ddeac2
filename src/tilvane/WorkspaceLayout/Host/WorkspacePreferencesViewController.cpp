#include "WorkspaceLayout/Host/WorkspacePreferencesViewController.h"

#include "platform/l10n/Localization.h"

namespace tilvane {

WorkspacePreferencesViewController::WorkspacePreferencesViewController(AdvancedViews* views)
    : PreferencePane(l10n::key("Spaces"), "PreferenceSpace"),
      views_(views),
      workspaceViewController_(std::make_unique<WorkspaceViewController>(WorkspaceServices{
          views ? views->workspaceViews() : nullptr, views ? views->workspaceDialogs() : nullptr, {}, {}})) {}

void WorkspacePreferencesViewController::setupUI() {
  applyPaneSize();
  // Loads the list's view (a view of ours holds it already) and so runs its set-up.
  workspaceViewController_->view();
}

std::unique_ptr<PaneView> WorkspacePreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

}  // namespace tilvane
