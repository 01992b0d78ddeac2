#pragma once

#include <QLabel>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>
#include <memory>

#include "Shell/MenuBar/NotificationPopover.h"
#include "UI/Widgets/TextButton.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// The announcement popover on the desktop: a frameless window of 600 x 60 that stays on top, with the
/// program's small icon, the title in bold, a green "Detail" button and a small "✕". It opens under the tray
/// icon (above it when the tray is at the bottom of the screen), or at the top right of the primary screen's
/// free area when the tray tells no position. Main thread only.
class QtNotificationPopover final : public NotificationPopoverView {
 public:
  static constexpr int kWidth = 600;
  static constexpr int kHeight = 60;

  /// `icon` is where the popover hangs from; it may go before the popover does.
  explicit QtNotificationPopover(QSystemTrayIcon* icon);
  ~QtNotificationPopover() override;

  void setTitle(const std::string& title) override;
  void setActions(std::function<void()> detail, std::function<void()> dismiss) override;
  void show() override;
  void close() override;

  QWidget& window() { return *window_; }
  QLabel& titleLabel() { return *titleLabel_; }
  TextButton& actionButton() { return *actionButton_; }
  TextButton& closeButton() { return *closeButton_; }

  /// Where a popover of this size goes for an icon at `anchor` (empty: no position known) on a screen whose
  /// free area is `available`.
  static QRect placement(const QRect& anchor, const QRect& available);

 private:
  std::unique_ptr<QWidget> window_;
  QLabel* logo_;
  QLabel* titleLabel_;
  TextButton* actionButton_;
  TextButton* closeButton_;
  QPointer<QSystemTrayIcon> icon_;
  std::function<void()> detail_;
  std::function<void()> dismiss_;
  rx::DisposeBag disposeBag_;
};

}  // namespace tilvane
