#include "Preferences/Qt/QtHotKeysPane.h"

#include <algorithm>

#include "Preferences/Qt/PaneRows.h"

namespace tilvane {

QtHotKeysPane::QtHotKeysPane(HotKeysPreferencesViewController& pane) : QtPaneView(pane) {
  QWidget* view = widget();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const HotKeyRow& row = pane.rows()[i];
    auto* recorder = new MASShortcutView(view);
    recorder->setStyle(HotKeysPreferencesViewController::recorderStyle);
    recorder->setAssociatedUserDefaultsKey(row.defaultsKey);
    rows_[i] = {panes::caption(row.label, view), recorder, panes::intro(row.intro, Qt::gray, view)};
  }
  subviewsReady();
}

void QtHotKeysPane::layoutSubviews() {
  const QWidget* view = widget();
  const int centreX = view->width() / 2;
  const int centreY = view->height() / 2;
  const int right = centreX * 2 / 3;
  const int offsets[4] = {-90, -50, 10, 70};
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    panes::placeCaption(*row.caption, right, centreY + offsets[i], i == 0);
    const QSize wanted = row.recorder->sizeHint();
    row.recorder->resize(std::max(160, wanted.width()), std::max(22, wanted.height()));
    // Centred on the caption as a 22-point field; a refusal message below it grows downwards.
    row.recorder->move(right + 15, row.caption->geometry().center().y() - 11);
    panes::fitToContents(*row.intro);
    row.intro->move(row.recorder->x(), row.recorder->geometry().bottom() + 1);
  }
}

}  // namespace tilvane
