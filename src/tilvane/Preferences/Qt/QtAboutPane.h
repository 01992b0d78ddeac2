#pragma once

#include <QLabel>

#include "Preferences/AboutPreferencesViewController.h"
#include "Preferences/Qt/QtPaneView.h"
#include "UI/Widgets/Label.h"
#include "UI/Widgets/TextButton.h"

namespace tilvane {

/// The About pane's view: the background stretched over the pane, the logo (100 × 100) above the centre, the
/// version line and the home-page button under it, the feedback button bottom left and the copyright bottom
/// right.
class QtAboutPane final : public QtPaneView {
 public:
  explicit QtAboutPane(AboutPreferencesViewController& pane);

  Label& versionLabel() { return *version_; }
  Label& copyrightLabel() { return *copyright_; }
  TextButton& websiteButton() { return *website_; }
  TextButton& feedbackButton() { return *feedback_; }
  QLabel& logo() { return *logo_; }

 protected:
  void layoutSubviews() override;

 private:
  QLabel* bg_;
  QLabel* logo_;
  Label* version_;
  Label* copyright_;
  TextButton* website_;
  TextButton* feedback_;
};

}  // namespace tilvane
