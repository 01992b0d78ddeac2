#include "RuleLayout/Host/RuleLayoutPreferencesViewController.h"

#include "platform/l10n/Localization.h"

namespace tilvane {

RuleLayoutPreferencesViewController::RuleLayoutPreferencesViewController(AdvancedViews* views)
    : PreferencePane(l10n::key("Apps"), "PreferenceApps"), views_(views) {}

void RuleLayoutPreferencesViewController::setupUI() { applyPaneSize(); }

std::unique_ptr<PaneView> RuleLayoutPreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

}  // namespace tilvane
