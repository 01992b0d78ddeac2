#include "Preferences/Qt/QtAboutPane.h"

#include <QFont>

#include "Preferences/Qt/PaneRows.h"
#include "Preferences/Qt/PreferenceImages.h"

namespace tilvane {
namespace {

TextButton* tappable(PushButton& model, const QColor& background, int width, QWidget* parent) {
  auto* button = new TextButton(QString::fromStdString(model.title()), Qt::white, background, width, 30, parent);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

QtAboutPane::QtAboutPane(AboutPreferencesViewController& pane)
    : QtPaneView(pane),
      bg_(new QLabel(widget())),
      logo_(new QLabel(widget())),
      version_(new Label(QString::fromStdString(pane.versionLabel), 16, Qt::white, Qt::AlignRight, widget())),
      copyright_(new Label(QString::fromStdString(pane.copyrightLabel), 14, Qt::white, Qt::AlignRight, widget())),
      website_(tappable(pane.websiteButton, QColor::fromRgbF(0.1f, 0.36f, 0.62f), 140, widget())),
      feedback_(tappable(pane.feedbackButton, QColor::fromRgbF(0.09f, 0.46f, 0.68f), 200, widget())) {
  // Drawn once at the pane's size; the background stretches with the pane whatever its proportions.
  const Constants::Size size = pane.paneSize();
  bg_->setScaledContents(true);
  bg_->setPixmap(preferenceImage("PreferenceAboutBg", QSize(static_cast<int>(size.width), static_cast<int>(size.height))));
  logo_->setScaledContents(true);
  logo_->setPixmap(preferenceImage("Logo", QSize(100, 100)));
  QFont bold = version_->font();
  bold.setBold(true);
  bold.setPointSize(14);
  version_->setFont(bold);
  website_->rxTap().subscribe([&pane](const rx::Unit&) { pane.websiteButton.press(); }).disposed(bindings());
  feedback_->rxTap().subscribe([&pane](const rx::Unit&) { pane.feedbackButton.press(); }).disposed(bindings());
  subviewsReady();
}

void QtAboutPane::layoutSubviews() {
  const QWidget* view = widget();
  const int width = view->width();
  const int height = view->height();
  const int centreX = width / 2;
  const int centreY = height / 2;
  bg_->setGeometry(0, 0, width, height);
  logo_->setGeometry(centreX - 50, centreY - 100, 100, 100);
  panes::fitToContents(*version_);
  version_->move(centreX - 10 - version_->width() / 2, logo_->geometry().bottom() + 1 + 10);
  website_->resize(140, 30);
  website_->move(centreX - 10 - 70, version_->geometry().bottom() + 1 + 20);
  feedback_->resize(200, 30);
  feedback_->move(10, height - 10 - 30);
  panes::fitToContents(*copyright_);
  copyright_->move(width - 10 - copyright_->width(), height - 10 - copyright_->height());
}

}  // namespace tilvane
