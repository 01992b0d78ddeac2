#pragma once

#include <QRegion>
#include <QWidget>

#include "BuildInLayoutAction/LayoutChooserView.h"
#include "UI/Widgets/TranslucentLook.h"

namespace tilvane {

/// The layout chooser's window in Qt Widgets: a frameless tool window above the others that takes the
/// keyboard when shown and hands every key-down to its handler (Tab included, which widgets would otherwise
/// use to move the focus). It draws the border (kChooserBorderColor) along its edges and the logo centred,
/// and is shaped to exactly those, so the window underneath stays visible and clickable with or without a
/// compositing manager; the logo is painted opaque where none runs (TranslucentLook). Needs a QApplication. Main
/// thread only.
class LayoutAlertWindow final : public LayoutChooserView {
 public:
  LayoutAlertWindow();
  ~LayoutAlertWindow() override;

  void setKeyDownHandler(KeyDownHandler handler) override;
  void setLogo(ChooserLogo logo) override;
  void setBorderWidth(double width) override;
  void setFrame(const CGRect& frame) override;
  void setIsVisible(bool visible) override;
  /// Keeps the window above ordinary windows from the floating level up, and tells the desktop.
  void setLevel(CGWindowLevel level) override;

  /// The window widget, for tests.
  QWidget& widget() { return window_; }
  const QWidget& widget() const { return window_; }

 private:
  /// The top-level widget.
  struct Window final : QWidget {
    Window();
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    /// The logo's square, centred.
    QRectF logoArea() const;
    /// Shapes the window to the border and the logo.
    void reshape();

    KeyDownHandler handler;
    ChooserLogo logo = ChooserLogo::layoutCenter;
    double borderWidth = 0;
    TranslucentLook look{[this] { update(); }};
  };

  Window window_;
};

}  // namespace tilvane
