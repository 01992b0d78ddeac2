#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

class Menu;
class MenuBarController;

/// One entry of a menu, or a separator: the plain model the tray's menu is drawn from. An entry acts when it
/// has both an action and a target; one without is shown, greyed. Entries are shared: the controller keeps the
/// fixed ones in its fields while the menu lists them. Main thread only.
class MenuItem : public std::enable_shared_from_this<MenuItem> {
 public:
  /// What choosing the entry runs, with the entry as sender.
  using Action = void (MenuBarController::*)(const MenuItem& sender);

  static std::shared_ptr<MenuItem> make(std::string title = {}) { return std::make_shared<MenuItem>(std::move(title)); }
  static std::shared_ptr<MenuItem> separatorItem();

  explicit MenuItem(std::string title = {}) : title_(std::move(title)) {}

  bool isSeparatorItem() const { return separator_; }

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  /// The named image ("fullscreenMenu"); empty for none.
  const std::string& image() const { return image_; }
  void setImage(std::string image) { image_ = std::move(image); }
  /// A template image is drawn in the menu's text colour.
  bool isTemplateImage() const { return templateImage_; }
  void setTemplateImage(bool value) { templateImage_ = value; }

  /// The key of the entry's chord as a menu writes it ("q", "1", "F5"); empty for none.
  const std::string& keyEquivalent() const { return keyEquivalent_; }
  void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
  /// The chord's modifiers in the stored flag form. A new entry has Control, the Linux counterpart of the
  /// menu default.
  CGEventFlags keyEquivalentModifierMask() const { return modifierMask_; }
  void setKeyEquivalentModifierMask(CGEventFlags mask) { modifierMask_ = mask; }
  /// The chord as the menu shows it beside the title ("Ctrl+Q", "Ctrl+Alt+1"); empty without a key equivalent.
  std::string keyEquivalentText() const;

  Action action() const { return action_; }
  void setAction(Action action) { action_ = action; }
  MenuBarController* target() const { return target_; }
  void setTarget(MenuBarController* target) { target_ = target; }

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  /// Whether choosing the entry does something: enabled, with an action and a target.
  bool isActionable() const { return enabled_ && action_ && target_; }

  const std::shared_ptr<Menu>& submenu() const { return submenu_; }
  void setSubmenu(std::shared_ptr<Menu> submenu) { submenu_ = std::move(submenu); }

  /// Runs the action on the target with this entry as sender; nothing when the entry is not actionable.
  void performAction();

 private:
  std::string title_;
  std::string image_;
  bool templateImage_ = false;
  std::string keyEquivalent_;
  CGEventFlags modifierMask_ = kCGEventFlagMaskControl;
  Action action_ = nullptr;
  MenuBarController* target_ = nullptr;
  bool enabled_ = true;
  bool separator_ = false;
  std::shared_ptr<Menu> submenu_;
};

/// An ordered list of entries.
class Menu {
 public:
  const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
  std::size_t numberOfItems() const { return items_.size(); }
  std::shared_ptr<MenuItem> itemAtIndex(std::size_t index) const;

  void addItem(std::shared_ptr<MenuItem> item) { items_.push_back(std::move(item)); }
  /// Inserts at `index`; an index past the end appends.
  void insertItem(std::shared_ptr<MenuItem> item, std::size_t index);
  void removeAllItems() { items_.clear(); }
  /// The position of that very entry; -1 when the menu does not hold it.
  long indexOfItem(const MenuItem& item) const;

 private:
  std::vector<std::shared_ptr<MenuItem>> items_;
};

}  // namespace tilvane
