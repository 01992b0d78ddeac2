#include "Advanced/AdvancedViewController.h"

#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/Constants.h"
#include "platform/desktop/NSApplication.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

AdvancedViewController::AdvancedViewController(Passkey key, AdvancedServices services)
    : VkRxController(key), services_(std::move(services)) {}

void AdvancedViewController::setupUI() {
  AdvancedViews* views = services_.views;
  workspaces_ = std::make_unique<WorkspacePreferencesViewController>(views);
  apps_ = std::make_unique<RuleLayoutPreferencesViewController>(views);
  layouts_ = std::make_unique<CustomLayoutPreferencesViewController>(views);
  std::vector<PreferencePane*> panes{workspaces_.get(), apps_.get(), layouts_.get()};
  advancedViewController_ = std::make_unique<MASPreferencesWindowController>(
      std::move(panes), NSLocalizedString("AdvancedTitle"), views ? views->makeWindow() : nullptr);
  // The title bar is the window manager's: the button goes to the right end of the toolbar instead.
  if (PaneWindowView* window = advancedViewController_->window())
    window->setAccessoryButton({NSLocalizedString("Guide"), "Guide", [this] { openGuide(); }});
}

void AdvancedViewController::setupViewModel() {
  AppBridge::openAdvanced().subscribe([this](const rx::Unit&) { showAdvancedWindow(); }).disposed(disposeBag());
}

void AdvancedViewController::showAdvancedWindow() {
  if (advancedViewController_) advancedViewController_->showWindow();
  NSApplication::activateIgnoringOtherApps(true);
}

void AdvancedViewController::openGuide() {
  if (services_.openURL) services_.openURL(Constants::Url::guide());
}

}  // namespace tilvane
