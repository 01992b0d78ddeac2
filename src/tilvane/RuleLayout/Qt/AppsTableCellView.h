#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <string>

namespace tilvane {

/// One row of the Apps list: the application's icon (22 × 22 at (10, 4)) and its name (at (40, 5), 200 × 20, a
/// 14-pixel system font), cut with "…" at the row's end. The row lets the pointer through to the list, which
/// selects it.
class AppsTableCellView final : public QWidget {
 public:
  explicit AppsTableCellView(QWidget* parent = nullptr);

  /// Shows `image` (none: the icon stays empty) and `name`.
  void configure(const QPixmap& image, const std::string& name);

  QLabel& icon() { return *icon_; }
  QLabel& label() { return *label_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fitName();

  QString name_;
  QLabel* icon_;
  QLabel* label_;
};

}  // namespace tilvane
