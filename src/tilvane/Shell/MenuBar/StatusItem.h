#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Shell/MenuBar/Menu.h"
#include "Shell/MenuBar/NotificationPopover.h"

namespace tilvane {

/// What draws a status item in the desktop's tray: the program's one is QtStatusItemView (a QSystemTrayIcon
/// and a QMenu); tests use their own. Main thread only.
class StatusItemView {
 public:
  virtual ~StatusItemView() = default;
  /// The named image; a template image takes the tray's text colour.
  virtual void setImage(const std::string& name, bool isTemplate) = 0;
  /// Shows the icon in the tray or takes it out.
  virtual void setVisible(bool visible) = 0;
  /// Draws `menu` as it is now.
  virtual void setMenu(const Menu& menu) = 0;
  /// Whether the desktop has a tray to show the icon in.
  virtual bool isSystemTrayAvailable() const = 0;
  /// A view for a popover that hangs from the icon; none by default (the popover is kept but not drawn).
  virtual std::unique_ptr<NotificationPopoverView> makePopoverView() { return nullptr; }
  /// Whether the menu is open on the screen.
  virtual bool isMenuOpen() const { return false; }
  /// `closed` runs each time the open menu has closed, on a later turn of the loop, after the action of an
  /// entry chosen in it.
  virtual void setMenuClosedHandler(std::function<void()> closed) { (void)closed; }
};

/// The status item's button: its image.
class StatusBarButton {
 public:
  const std::string& image() const { return image_; }
  bool isTemplate() const { return template_; }

 private:
  friend class StatusItem;
  std::string image_;
  bool template_ = false;
};

/// The program's item in the status bar (the tray): a button with an image, a menu, and a length: -1 (as wide
/// as its button, shown) or 0 (no room, hidden). The model of the item; its view draws it.
class StatusItem {
 public:
  static constexpr double kVariableLength = -1;

  StatusItem(double length, std::unique_ptr<StatusItemView> view);

  double length() const { return length_; }
  void setLength(double length);
  /// Shown: any length but 0.
  bool isVisible() const { return length_ != 0; }

  /// The button; every item has one here.
  const StatusBarButton* button() const { return &button_; }
  void setImage(const std::string& name);
  void setImageTemplate(bool isTemplate);

  const std::shared_ptr<Menu>& menu() const { return menu_; }
  void setMenu(std::shared_ptr<Menu> menu);
  /// Tells the view that the menu's entries changed.
  void menuDidChange();
  /// Whether the menu is open on the screen (never without a view).
  bool isMenuOpen() const { return view_ && view_->isMenuOpen(); }
  /// See StatusItemView::setMenuClosedHandler.
  void setMenuClosedHandler(std::function<void()> closed) {
    if (view_) view_->setMenuClosedHandler(std::move(closed));
  }

  /// Whether the desktop has a tray for the item; true without a view (nothing says otherwise).
  bool isSystemTrayAvailable() const { return !view_ || view_->isSystemTrayAvailable(); }
  StatusItemView* view() const { return view_.get(); }

 private:
  /// Shows the view when the item is visible and has an image; hides it otherwise.
  void showIfReady();

  double length_;
  StatusBarButton button_;
  std::shared_ptr<Menu> menu_;
  std::unique_ptr<StatusItemView> view_;
};

/// The desktop's status bar: makes status items, each drawn by a view from the factory the composition root
/// installs (none: items without a view).
class StatusBar {
 public:
  using ViewFactory = std::function<std::unique_ptr<StatusItemView>()>;

  /// The one status bar (systemStatusBar), made on first use; reset with the other shared instances.
  static StatusBar& systemStatusBar();

  void setViewFactory(ViewFactory factory) { factory_ = std::move(factory); }
  /// A new item of `length` (statusItemWithLength).
  std::unique_ptr<StatusItem> statusItemWithLength(double length) const;

 private:
  ViewFactory factory_;
};

}  // namespace tilvane
