#include "CustomLayout/Host/CustomLayoutPreferencesViewController.h"

#include "platform/l10n/Localization.h"

namespace tilvane {

CustomLayoutPreferencesViewController::CustomLayoutPreferencesViewController(AdvancedViews* views)
    : PreferencePane(l10n::key("Layouts"), "PreferenceLayouts"),
      views_(views),
      customLayoutViewController_(
          std::make_unique<CustomLayoutViewController>(views ? views->customLayoutViews() : nullptr)) {}

void CustomLayoutPreferencesViewController::setupUI() {
  applyPaneSize();
  // Loads the list's view (a view of ours holds it already) and so runs its set-up.
  customLayoutViewController_->view();
}

std::unique_ptr<PaneView> CustomLayoutPreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

}  // namespace tilvane
