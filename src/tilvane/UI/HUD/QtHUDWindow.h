#pragma once

#include <QLabel>
#include <QWidget>

#include "UI/HUD/VkHUDView.h"
#include "UI/Widgets/TranslucentLook.h"

namespace tilvane {

/// The message window in Qt Widgets: a window the window manager never handles (override-redirect), so it has
/// no frame of the window manager's, shows on whichever desktop is shown and is never followed to a desktop of
/// its own; mapped last, it lies above the other windows. It lets mouse events through, never takes the focus
/// (a restore reads the focused window while messages show), and paints a rounded rectangle (radius 10) with the
/// background colour and border behind a single-line label. Where no compositing manager runs it is cut to that
/// rectangle and painted opaque (TranslucentLook). Needs a QApplication. Main thread only.
class QtHUDWindow final : public VkHUDView {
 public:
  QtHUDWindow();
  ~QtHUDWindow() override;

  void setText(const std::string& text) override;
  void setFontSize(double points) override;
  void setTextColor(const HUDColor& color) override;
  void setBackgroundColor(const HUDColor& color) override;
  void setBorderWidth(double width) override;
  void setBorderColor(const HUDColor& color) override;
  CGSize sizeToFit() override;
  void setFrame(const CGRect& frame) override;
  void orderFront() override;
  void orderOut() override;
  void setAlpha(double alpha) override;

  /// The window widget, for tests.
  QWidget& widget() { return window_; }
  const QWidget& widget() const { return window_; }
  /// The label, for tests.
  const QLabel& label() const { return window_.label; }

 private:
  /// The top-level widget; it paints its own rounded background.
  struct Window final : QWidget {
    Window();
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void centreLabel();
    /// The rounded rectangle of the window's size.
    QPainterPath outline() const;
    void reshape();

    QLabel label{this};
    QColor background{0, 0, 0, 230};
    QColor border{255, 255, 255};
    double borderWidth = 0;
    TranslucentLook look{[this] {
      reshape();
      update();
    }};
  };

  Window window_;
};

}  // namespace tilvane
