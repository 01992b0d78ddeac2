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
  constexpr int kRowGap = 6;
  int below = 0;  // the bottom of the row above, plus the gap
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    panes::placeCaption(*row.caption, right, centreY + offsets[i], i == 0);
    const int width = std::max(160, row.recorder->sizeHint().width());
    // The height its message needs at that width: a refusal wraps below the field and grows the row.
    const int height = std::max(22, row.recorder->hasHeightForWidth() ? row.recorder->heightForWidth(width)
                                                                        : row.recorder->sizeHint().height());
    row.recorder->resize(width, height);
    // Centred on the caption as a 22-point field, unless the row above reaches further down.
    const int top = std::max(row.caption->geometry().center().y() - 11, below);
    row.recorder->move(right + 15, top);
    row.caption->move(row.caption->x(), top + 11 - row.caption->height() / 2);
    panes::fitToContents(*row.intro);
    row.intro->move(row.recorder->x(), row.recorder->geometry().bottom() + 1);
    below = row.intro->geometry().bottom() + 1 + kRowGap;
  }
}

}  // namespace tilvane
