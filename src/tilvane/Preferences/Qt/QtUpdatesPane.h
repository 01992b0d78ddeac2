#pragma once

#include <QCheckBox>
#include <QPushButton>

#include "Preferences/Qt/QtPaneView.h"
#include "Preferences/UpdatesPreferencesViewController.h"
#include "UI/Widgets/Label.h"

namespace tilvane {

/// The Updates pane's view: the caption with the check button beside it (160 × 30) above the centre line, the
/// automatic-check box on it, its grey line below.
class QtUpdatesPane final : public QtPaneView {
 public:
  explicit QtUpdatesPane(UpdatesPreferencesViewController& pane);

  Label& caption() { return *caption_; }
  QPushButton& button() { return *button_; }
  QCheckBox& checkbox() { return *checkbox_; }
  Label& intro() { return *intro_; }

 protected:
  void layoutSubviews() override;

 private:
  Label* caption_;
  QPushButton* button_;
  QCheckBox* checkbox_;
  Label* intro_;
};

}  // namespace tilvane
