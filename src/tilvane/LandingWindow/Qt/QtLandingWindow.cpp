#include "LandingWindow/Qt/QtLandingWindow.h"

#include <QCloseEvent>
#include <QEasingCurve>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <utility>

#include "platform/desktop/NSApplication.h"

namespace tilvane {
namespace {
constexpr int kWidth = 600;
constexpr int kHeight = 350;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 30;
constexpr int kMargin = 10;

QString qt(const std::string& text) { return QString::fromStdString(text); }

void styleButton(QPushButton& button) {
  button.setFixedSize(kButtonWidth, kButtonHeight);
  button.setFocusPolicy(Qt::NoFocus);
  button.setStyleSheet(
      "QPushButton { color: black; background: white; border: 1px solid #c8c8c8; border-radius: 4px; }"
      "QPushButton:pressed { background: #e8e8e8; }");
}
}  // namespace

QtLandingWindow::Window::Window() {
  setFixedSize(kWidth, kHeight);
  // Titled and closable only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  styleButton(next);
  styleButton(prev);
  next.move(kWidth - kMargin - kButtonWidth, kHeight - kMargin - kButtonHeight);
  prev.move(kMargin, kHeight - kMargin - kButtonHeight);
  note.setGeometry(20, 240, kWidth - 40, 56);
  note.setWordWrap(true);
  note.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  note.setStyleSheet(
      "QLabel { color: #5a2a00; background: #fff4d6; border: 1px solid #e8c66a; border-radius: 4px;"
      " padding: 6px; }");
  note.hide();
  // Mouse-down, not release: the press is the tap.
  QObject::connect(&next, &QPushButton::pressed, this, [this] {
    if (handlers.nextTapped) handlers.nextTapped();
  });
}

void QtLandingWindow::Window::closeEvent(QCloseEvent* event) {
  event->accept();
  if (handlers.willClose) handlers.willClose();
}

QtLandingWindow::QtLandingWindow(const QImage& strip) {
  QPixmap pixmap = QPixmap::fromImage(strip);
  pixmap.setDevicePixelRatio(2.0);
  window_.strip.setPixmap(pixmap);
  window_.strip.setGeometry(0, 0, strip.width() / 2, strip.height() / 2);
  window_.strip.lower();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect frame = screen->geometry();
    window_.move(frame.x() + (frame.width() - kWidth) / 2, frame.y() + (frame.height() - kHeight) / 2);
  }
}

QtLandingWindow::~QtLandingWindow() { window_.handlers = {}; }

void QtLandingWindow::setHandlers(Handlers handlers) { window_.handlers = std::move(handlers); }

void QtLandingWindow::showWindow(const std::string& title) {
  window_.setWindowTitle(qt(title));
  raise();
}

double QtLandingWindow::windowWidth() const { return window_.width(); }

void QtLandingWindow::setNextTitle(const std::string& title) { window_.next.setText(qt(title)); }
void QtLandingWindow::setNextHidden(bool hidden) { window_.next.setHidden(hidden); }
void QtLandingWindow::setPrevTitle(const std::string& title) { window_.prev.setText(qt(title)); }
void QtLandingWindow::setPrevHidden(bool hidden) { window_.prev.setHidden(hidden); }

void QtLandingWindow::slideStripTo(double x, std::function<void()> done) {
  if (slide_) slide_->stop();
  auto* animation = new QPropertyAnimation(&window_.strip, "pos", &window_);  // owned by the window
  animation->setDuration(1000);
  animation->setEasingCurve(QEasingCurve::InOutQuad);
  animation->setEndValue(QPoint(static_cast<int>(x), 0));
  QObject::connect(animation, &QPropertyAnimation::finished, &window_, [done = std::move(done)] {
    if (done) done();
  });
  slide_ = animation;
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void QtLandingWindow::finishSlide() {
  if (slide_) slide_->setCurrentTime(slide_->duration());
}

void QtLandingWindow::setNote(const std::string& text) {
  window_.note.setText(qt(text));
  window_.note.setVisible(!text.empty());
}

void QtLandingWindow::showAlert(const std::string& message, const std::string& informative,
                                const std::string& button) {
  auto* box = new QMessageBox(&window_);  // owned by the window, deleted when dismissed
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setIcon(QMessageBox::Warning);
  box->setWindowTitle(qt(message));  // no sheets here: the title names the alert
  box->setText(qt(message));
  box->setInformativeText(qt(informative));
  box->addButton(qt(button), QMessageBox::AcceptRole);
  box->setWindowModality(Qt::WindowModal);
  alert_ = box;
  box->open();
}

void QtLandingWindow::close() { window_.close(); }

void QtLandingWindow::raise() {
  window_.show();
  window_.raise();
  window_.activateWindow();
  NSApplication::makeKeyAndOrderFront(window_.winId());
}

bool QtLandingWindow::isOpen() const { return window_.isVisible(); }

}  // namespace tilvane
