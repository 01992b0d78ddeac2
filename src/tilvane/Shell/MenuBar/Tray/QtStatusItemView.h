#pragma once

#include <QKeySequence>
#include <QMenu>
#include <QSystemTrayIcon>
#include <memory>
#include <string>

#include "Shell/MenuBar/StatusItem.h"

namespace tilvane {

/// The key sequence of an entry's key equivalent and its modifiers (Command is Meta); empty without one.
QKeySequence menuChord(const MenuItem& item);

/// The tray icon and its menu on the desktop: a QSystemTrayIcon (an XEmbed tray or a StatusNotifierItem host)
/// with a QMenu drawn from the menu model. A click of either button opens the menu. Choosing an entry runs its
/// action on the next turn of the loop, once the menu has closed, so an action that rebuilds the menu never
/// deletes the entry being chosen. While the menu is open it has the keyboard, so the chords its entries show
/// are taken there too. When a menu opens, a name wider than a quarter of the screen is cut in the middle with
/// "…", so the chord column and the submenu arrows stay on the screen. Main thread only.
class QtStatusItemView final : public QObject, public StatusItemView {
 public:
  QtStatusItemView();
  ~QtStatusItemView() override;

  void setImage(const std::string& name, bool isTemplate) override;
  void setVisible(bool visible) override;
  void setMenu(const Menu& menu) override;
  bool isSystemTrayAvailable() const override;
  std::unique_ptr<NotificationPopoverView> makePopoverView() override;
  bool isMenuOpen() const override;
  void setMenuClosedHandler(std::function<void()> closed) override { closed_ = std::move(closed); }

  QSystemTrayIcon& trayIcon() { return *tray_; }
  QMenu& qmenu() { return *menu_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /// Fills `target` with the entries of `menu`.
  void fill(QMenu& target, const Menu& menu);

  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::function<void()> closed_;
};

}  // namespace tilvane
