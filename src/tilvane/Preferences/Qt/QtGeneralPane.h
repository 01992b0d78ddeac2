#pragma once

#include <QCheckBox>
#include <array>

#include "Preferences/GeneralPreferencesViewController.h"
#include "Preferences/Qt/QtPaneView.h"
#include "UI/Widgets/Label.h"

namespace tilvane {

/// The General pane's view: four rows of caption, checkbox and grey line. The captions end on one vertical line
/// at two thirds of the centre; the rows sit 100 above, 60 above, at and 60 below the centre line.
class QtGeneralPane final : public QtPaneView {
 public:
  explicit QtGeneralPane(GeneralPreferencesViewController& pane);

  struct Row {
    Label* caption;
    QCheckBox* checkbox;
    Label* intro;
  };
  const std::array<Row, 4>& rows() const { return rows_; }

 protected:
  void layoutSubviews() override;

 private:
  std::array<Row, 4> rows_;
};

}  // namespace tilvane
