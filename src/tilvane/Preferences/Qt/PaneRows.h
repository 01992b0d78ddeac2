#pragma once

#include <QCheckBox>
#include <QPoint>
#include <QPushButton>
#include <QWidget>
#include <string>

#include "Preferences/Controls.h"
#include "UI/Widgets/Label.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// Helpers the panes' Qt views share: their labels, controls bound to the panes' controls, and the row geometry.
namespace panes {

/// A row caption: 14 pt, black, left-aligned.
Label* caption(const std::string& text, QWidget* parent);
/// A grey explanation line: 12 pt in `color`, left-aligned.
Label* intro(const std::string& text, const QColor& color, QWidget* parent);
/// A checkbox drawing `model`: a user's click goes to the model, every state the model shows is drawn.
QCheckBox* checkbox(Checkbox& model, QWidget* parent, rx::DisposeBag& bindings);
/// A push button whose presses are `model`'s taps.
QPushButton* pushButton(PushButton& model, QWidget* parent);

/// Sizes `widget` to its natural size.
void fitToContents(QWidget& widget);
/// Puts `widget`'s right edge at `right` and its bottom (anchorBottom) or top at `y`.
void placeCaption(QWidget& widget, int right, int y, bool anchorBottom);
/// Puts `widget` (at its size) with its left edge at `left` and its centre line at `centreY`.
void placeBeside(QWidget& widget, int left, int centreY);

}  // namespace panes
}  // namespace tilvane
