#pragma once

#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QWidget>

#include "LandingWindow/LandingWindowView.h"

namespace tilvane {

/// The landing window in Qt Widgets. The strip is an image label that slides left a window width per page;
/// the buttons answer on mouse-down, like the program's other text buttons. Needs a QApplication.
class QtLandingWindow final : public LandingWindowView {
 public:
  /// `strip`: the background, drawn at twice the size it is shown at.
  explicit QtLandingWindow(const QImage& strip);
  ~QtLandingWindow() override;

  void setHandlers(Handlers handlers) override;
  void showWindow(const std::string& title) override;
  double windowWidth() const override;
  void setNextTitle(const std::string& title) override;
  void setNextHidden(bool hidden) override;
  void setPrevTitle(const std::string& title) override;
  void setPrevHidden(bool hidden) override;
  void slideStripTo(double x, std::function<void()> done) override;
  void setNote(const std::string& text) override;
  void showAlert(const std::string& message, const std::string& informative, const std::string& button) override;
  void close() override;
  void raise() override;
  bool isOpen() const override;

  /// For tests and screenshots.
  QWidget& window() { return window_; }
  QPushButton& nextButton() { return window_.next; }
  QPushButton& prevButton() { return window_.prev; }
  QLabel& strip() { return window_.strip; }
  QLabel& note() { return window_.note; }
  /// The alert on show, if any.
  QMessageBox* alert() const { return alert_; }
  /// Ends a running slide at once, as if its second had passed.
  void finishSlide();

 private:
  struct Window final : QWidget {
    Window();
    void closeEvent(QCloseEvent* event) override;

    QLabel strip{this};
    QLabel note{this};
    QPushButton next{this};
    QPushButton prev{this};
    Handlers handlers;
  };

  Window window_;
  QPointer<QPropertyAnimation> slide_;
  QPointer<QMessageBox> alert_;
};

}  // namespace tilvane
