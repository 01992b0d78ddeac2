#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>
#include <functional>

#include "platform/rx/Disposable.h"

namespace tilvane {

/// The pixels of a window cut to `outline`: those its filled outline covers.
QRegion windowShape(const QPainterPath& outline);

/// The look of a frameless window that draws itself in translucent colours, with or without a compositing manager
/// (WindowCompositing). With one, translucent pixels blend with what lies beneath and the window's opacity fades
/// it. Without one, the X server shows each pixel as stored, its colour premultiplied by its alpha: transparent
/// corners show black and translucent colours dark, so there the window is cut to its outline and painted
/// opaque. A compositing manager that starts or stops is followed. Main thread only.
class TranslucentLook {
 public:
  /// `changed` runs after a compositing manager started or stopped: the window shapes and paints itself again.
  explicit TranslucentLook(std::function<void()> changed);

  bool composited() const;
  /// `color` as the window paints it: opaque where nothing composites.
  QColor painted(QColor color) const;
  /// Cuts `window` to `outline` where nothing composites; where something does, leaves it whole (its translucent
  /// paint shows the outline, edges smoothed).
  void shapeUnlessComposited(QWidget& window, const QPainterPath& outline) const;

 private:
  rx::DisposeBag subscriptions_;
};

}  // namespace tilvane
