#include "WorkspaceLayout/Host/WorkspacePreferencesViewController.h"

#include "platform/l10n/Localization.h"

namespace tilvane {

WorkspacePreferencesViewController::WorkspacePreferencesViewController(AdvancedViews* views)
    : PreferencePane(l10n::key("Spaces"), "PreferenceSpace"), views_(views) {}

void WorkspacePreferencesViewController::setupUI() { applyPaneSize(); }

std::unique_ptr<PaneView> WorkspacePreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

}  // namespace tilvane
