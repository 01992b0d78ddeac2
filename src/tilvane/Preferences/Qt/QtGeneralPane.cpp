#include "Preferences/Qt/QtGeneralPane.h"

#include "Preferences/Qt/PaneRows.h"

namespace tilvane {

QtGeneralPane::QtGeneralPane(GeneralPreferencesViewController& pane) : QtPaneView(pane) {
  QWidget* view = widget();
  const QColor grey(0xAA, 0xAA, 0xAA);
  const auto row = [&](const std::string& caption, Checkbox& box, const std::string& intro) {
    return Row{panes::caption(caption, view), panes::checkbox(box, view, bindings()), panes::intro(intro, grey, view)};
  };
  rows_ = {row(pane.startupLabel, pane.startupCheckbox, pane.startupIntroLabel),
           row(pane.hideMenuLabel, pane.hideMenuCheckbox, pane.hideMenuIntroLabel),
           row(pane.hideLayoutLabel, pane.hideLayoutCheckbox, pane.hideLayoutIntroLabel),
           row(pane.gapLayoutLabel, pane.gapLayoutCheckbox, pane.gapLayoutIntroLabel)};
  subviewsReady();
}

void QtGeneralPane::layoutSubviews() {
  const QWidget* view = widget();
  const int centreX = view->width() / 2;
  const int centreY = view->height() / 2;
  const int right = centreX * 2 / 3;
  const int offsets[4] = {-100, -60, 0, 60};
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    panes::placeCaption(*row.caption, right, centreY + offsets[i], i == 0);
    panes::fitToContents(*row.checkbox);
    panes::placeBeside(*row.checkbox, right + 15, row.caption->geometry().center().y());
    panes::fitToContents(*row.intro);
    row.intro->move(row.checkbox->x(), row.checkbox->geometry().bottom() + 1 + 2);
  }
}

}  // namespace tilvane
