#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace tilvane {

/// A static, styled line of text: the system font at the given size, the given colour and alignment, no
/// background, not editable. It takes its size from its owner's layout.
class Label : public QLabel {
 public:
  Label(const QString& text, int fontSize, const QColor& textColor, Qt::Alignment alignment,
        QWidget* parent = nullptr);
};

}  // namespace tilvane
