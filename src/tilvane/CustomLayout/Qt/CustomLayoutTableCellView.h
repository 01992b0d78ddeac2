#pragma once

#include <QLabel>
#include <QWidget>

namespace tilvane {

/// One row of the custom-layout list: the layout's name in a one-line label at (10, 2), 200 × 20, in the system
/// font of size 14. Clicks pass through to the list, which selects the row.
class CustomLayoutTableCellView final : public QWidget {
 public:
  explicit CustomLayoutTableCellView(QWidget* parent = nullptr);
  QLabel* label() const { return label_; }

 private:
  QLabel* label_;
};

}  // namespace tilvane
