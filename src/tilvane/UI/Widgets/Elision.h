#pragma once

#include <QComboBox>
#include <QLabel>
#include <QString>

namespace tilvane {

/// Shows `text` in `label`, cut with "…" at the label's width; the whole text is its tool tip. Call again
/// when the label's width changes.
void showElided(QLabel& label, const QString& text);

/// A pop-up button whose shown entry is cut with "…" where the button is too narrow for it (the open list
/// shows the entries whole); the whole entry is the button's tool tip.
class ElidingComboBox final : public QComboBox {
 public:
  explicit ElidingComboBox(QWidget* parent = nullptr);

  /// The entry's text as drawn on the button.
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int textWidth() const;
};

}  // namespace tilvane
