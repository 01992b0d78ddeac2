#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

#include "platform/rx/Observable.h"
#include "platform/rx/PublishSubject.h"

class QGraphicsOpacityEffect;

namespace tilvane {

/// The rounded, tinted background of a TextButton; its opacity gives the button's feedback.
class TextButtonBackground : public QWidget {
 public:
  explicit TextButtonBackground(QWidget* parent) : QWidget(parent) {}
  void setColor(const QColor& color);
  QColor color() const { return color_; }
  void setAlphaValue(double alpha);
  double alphaValue() const { return alpha_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_;
  double alpha_ = 1.0;
};

/// A flat button: a rounded, tinted background with a centred bold title. It fires rxTap() on the press (not
/// the release) and shows feedback through the background's opacity: 0.6 at rest, 0.8 with the pointer over an
/// enabled button, 1.0 while pressed, 0.3 while hidden. Enabled or not is the button's own opacity: 1.0 or
/// 0.6, with no separate flag. Main thread only.
class TextButton : public QWidget {
 public:
  /// A button of `width` x `height`; 0 x 0 sizes it to its title plus 10 by 5.
  TextButton(const QString& title, const QColor& textColor, const QColor& backgroundColor, double width,
             double height, QWidget* parent = nullptr);

  /// Enabled when the button's opacity is exactly 1.0. (The Qt widget itself stays enabled.)
  bool isEnabled() const { return alphaValue_ == 1.0; }
  void setEnabled(bool enabled) { setAlphaValue(enabled ? 1.0 : 0.6); }
  double alphaValue() const { return alphaValue_; }
  void setAlphaValue(double alpha);

  /// One event per accepted press.
  rx::PublishSubject<rx::Unit>& rxTap() { return rxTap_; }

  /// Shows `title`. A button whose width is its title's width plus 10 keeps its size; any other is sized to
  /// the new title plus 10 by 10.
  void setTitle(const QString& title);
  void setColors(const QColor& textColor, const QColor& backgroundColor);
  void setVisible(bool visible) override;

  QLabel& textField() { return *textField_; }
  TextButtonBackground& backgroundView() { return *backgroundView_; }
  /// How far the title sits below the centre: 2 for a one-character title at creation, else 0.
  int titleOffset() const { return titleOffset_; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void setupView();
  void setupLayout();
  void placeTitle();

  QLabel* textField_;
  TextButtonBackground* backgroundView_;
  rx::PublishSubject<rx::Unit> rxTap_;
  QGraphicsOpacityEffect* opacity_ = nullptr;
  double alphaValue_ = 1.0;
  int titleOffset_ = 0;
};

}  // namespace tilvane
