#pragma once

#include <functional>
#include <string>

#include "AppManager/Settings/BundleVersion.h"
#include "Preferences/Controls.h"
#include "Preferences/PreferencePane.h"
#include "Preferences/PreferencesViews.h"
#include "Shell/Updater.h"

namespace tilvane {

/// The About pane: the logo, "Version V (build B)", a copyright line, a button to the home page and one to the
/// feedback dialog. It stores nothing and publishes nothing. Main thread only.
class AboutPreferencesViewController final : public PreferencePane {
 public:
  using OpenURL = std::function<bool(const std::string&)>;

  /// `updater` and `views` (null: no view) must outlive the pane; `openURL` opens an address in the browser.
  AboutPreferencesViewController(Updater& updater, OpenURL openURL, const BundleVersion& version,
                                 PreferencesViews* views);

  std::string className() const override { return "AboutPreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Preferences::aboutPaneSize(); }

  /// "Version " + V + " (build " + B + ")", an absent part written as nothing.
  static std::string versionLine(const BundleVersion& version);

  void openHomePage();
  void showFeedback();

  const std::string versionLabel;
  const std::string copyrightLabel;
  PushButton websiteButton;
  PushButton feedbackButton;

 protected:
  void setupUI() override;
  void setupLayout() override;
  void setupViewModel() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  Updater& updater_;
  OpenURL openURL_;
  PreferencesViews* views_;
};

}  // namespace tilvane
