#include "Preferences/Qt/QtUpdatesPane.h"

#include "Preferences/Qt/PaneRows.h"

namespace tilvane {

QtUpdatesPane::QtUpdatesPane(UpdatesPreferencesViewController& pane)
    : QtPaneView(pane),
      caption_(panes::caption(pane.updatesLabel, widget())),
      button_(panes::pushButton(pane.updatesButton, widget())),
      checkbox_(panes::checkbox(pane.updatesCheckbox, widget(), bindings())),
      intro_(panes::intro(pane.updatesIntroLabel, Qt::gray, widget())) {
  subviewsReady();
}

void QtUpdatesPane::layoutSubviews() {
  const QWidget* view = widget();
  const int centreX = view->width() / 2;
  const int centreY = view->height() / 2;
  panes::placeCaption(*caption_, centreX * 2 / 3, centreY - 30, true);
  button_->resize(160, 30);
  panes::placeBeside(*button_, caption_->geometry().right() + 1 + 15, caption_->geometry().center().y());
  panes::fitToContents(*checkbox_);
  panes::placeBeside(*checkbox_, button_->x(), centreY);
  panes::fitToContents(*intro_);
  intro_->move(checkbox_->x(), centreY + 20);
}

}  // namespace tilvane
