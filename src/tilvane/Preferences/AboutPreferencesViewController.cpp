#include "Preferences/AboutPreferencesViewController.h"

#include "AppManager/Settings/Constants.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

AboutPreferencesViewController::AboutPreferencesViewController(Updater& updater, OpenURL openURL,
                                                               const BundleVersion& version, PreferencesViews* views)
    : PreferencePane("About", "PreferenceAbout"),
      versionLabel(versionLine(version)),
      copyrightLabel("Copyright \u00A9 2024 The Tilvane developers"),
      websiteButton(NSLocalizedString("VisitHomePage")),
      feedbackButton(NSLocalizedString("Feedback")),
      updater_(updater),
      openURL_(std::move(openURL)),
      views_(views) {}

std::string AboutPreferencesViewController::versionLine(const BundleVersion& version) {
  return "Version " + version.shortVersion.value_or("") + " (build " + version.build.value_or("") + ")";
}

std::unique_ptr<PaneView> AboutPreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

void AboutPreferencesViewController::setupUI() {
  logHook("UI");
  applyPaneSize();
}

void AboutPreferencesViewController::setupLayout() { logHook("Layout"); }

void AboutPreferencesViewController::setupViewModel() {
  logHook("ViewModel");
  websiteButton.rxTap().subscribe([this](const rx::Unit&) { openHomePage(); }).disposed(disposeBag());
  feedbackButton.rxTap().subscribe([this](const rx::Unit&) { showFeedback(); }).disposed(disposeBag());
}

// Whether the browser opened it is not reported: the user sees it or not.
void AboutPreferencesViewController::openHomePage() {
  if (openURL_) openURL_(Constants::Url::home());
}

void AboutPreferencesViewController::showFeedback() { updater_.showFeedbackDialog(); }

}  // namespace tilvane
