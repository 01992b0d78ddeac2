#include "Shell/MenuBar/Tray/QtNotificationPopover.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <algorithm>

#include "Shell/MenuBar/Tray/NamedImages.h"

namespace tilvane {

QtNotificationPopover::QtNotificationPopover(QSystemTrayIcon* icon)
    : window_(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)),
      logo_(new QLabel(window_.get())),
      titleLabel_(new QLabel(window_.get())),
      actionButton_(new TextButton("Detail", Qt::white, QColor::fromRgbF(0.1f, 0.8f, 0.1f, 1.0f), 0, 0, window_.get())),
      closeButton_(new TextButton(QString::fromUtf8("\u2715"), QColor(Qt::lightGray), QColor(0, 0, 0, 0), 18, 18,
                                  window_.get())),
      icon_(icon) {
  window_->setObjectName("TilvaneNotification");
  window_->setWindowTitle(QApplication::applicationName());
  window_->setFixedSize(kWidth, kHeight);
  window_->setAutoFillBackground(true);

  const QIcon image = namedImage("AppIconSmall", false, {});
  logo_->setPixmap(image.pixmap(32, 32));
  logo_->setGeometry(20, (kHeight - 32) / 2, 32, 32);

  QFont bold = titleLabel_->font();
  bold.setBold(true);
  bold.setPixelSize(14);
  titleLabel_->setFont(bold);
  titleLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  titleLabel_->setTextFormat(Qt::PlainText);  // the feed's text is shown, never interpreted
  titleLabel_->setGeometry(20 + 32 + 10, 0, 340, kHeight);

  actionButton_->setGeometry(kWidth - 30 - 80, (kHeight - 30) / 2, 80, 30);
  closeButton_->setGeometry(kWidth - 2 - 18, 2, 18, 18);
  actionButton_->setFocusPolicy(Qt::NoFocus);
  closeButton_->setFocusPolicy(Qt::NoFocus);

  actionButton_->rxTap()
      .subscribe([this](const rx::Unit&) {
        if (detail_) detail_();
      })
      .disposed(disposeBag_);
  closeButton_->rxTap()
      .subscribe([this](const rx::Unit&) {
        if (dismiss_) dismiss_();
      })
      .disposed(disposeBag_);
}

QtNotificationPopover::~QtNotificationPopover() = default;

void QtNotificationPopover::setTitle(const std::string& title) {
  // The label keeps its width: a longer title ends in an ellipsis and shows whole as the tooltip.
  const QString text = QString::fromStdString(title);
  titleLabel_->setText(titleLabel_->fontMetrics().elidedText(text, Qt::ElideRight, titleLabel_->width()));
  titleLabel_->setToolTip(text);
}

void QtNotificationPopover::setActions(std::function<void()> detail, std::function<void()> dismiss) {
  detail_ = std::move(detail);
  dismiss_ = std::move(dismiss);
}

QRect QtNotificationPopover::placement(const QRect& anchor, const QRect& available) {
  QRect frame(0, 0, kWidth, kHeight);
  if (anchor.isEmpty()) {
    frame.moveTopRight(available.topRight());
    return frame;
  }
  frame.moveTop(anchor.bottom() + 1);
  if (frame.bottom() > available.bottom()) frame.moveBottom(anchor.top() - 1);  // a tray at the bottom
  const int left = anchor.left() + anchor.width() / 2 - kWidth / 2;
  frame.moveLeft(std::clamp(left, available.left(), std::max(available.left(), available.right() + 1 - kWidth)));
  return frame;
}

void QtNotificationPopover::show() {
  const QRect anchor = icon_ ? icon_->geometry() : QRect();
  QScreen* screen = anchor.isEmpty() ? nullptr : QGuiApplication::screenAt(anchor.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, kWidth, kHeight);
  window_->setGeometry(placement(anchor, available));
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void QtNotificationPopover::close() { window_->hide(); }

}  // namespace tilvane
