#pragma once

#include <QPainter>
#include <QPainterPath>
#include <QRectF>

#include "BuildInLayoutAction/LayoutChooserLook.h"
#include "UI/Widgets/TranslucentLook.h"

namespace tilvane {

/// The outline of the chooser's logo in `area`: a rounded square.
QPainterPath chooserLogoOutline(const QRectF& area);

/// Paints the chooser's logo into `area`: a rounded square in the border's blue ("LayoutCenter") or in grey
/// ("LayoutCenterDisabled"), slightly translucent where `look` composites, showing a white screen with a window
/// in its centre.
void paintChooserLogo(QPainter& painter, const QRectF& area, ChooserLogo logo, const TranslucentLook& look);

}  // namespace tilvane
