#include "UI/Widgets/TranslucentLook.h"

#include "platform/desktop/WindowCompositing.h"

namespace tilvane {

QRegion windowShape(const QPainterPath& outline) {
  return QRegion(outline.toFillPolygon().toPolygon(), outline.fillRule());
}

TranslucentLook::TranslucentLook(std::function<void()> changed) {
  subscriptions_.insert(WindowCompositing::observe(std::move(changed)));
}

bool TranslucentLook::composited() const { return WindowCompositing::isActive(); }

QColor TranslucentLook::painted(QColor color) const {
  if (!composited()) color.setAlpha(255);
  return color;
}

void TranslucentLook::shapeUnlessComposited(QWidget& window, const QPainterPath& outline) const {
  if (composited())
    window.clearMask();
  else
    window.setMask(windowShape(outline));
}

}  // namespace tilvane
