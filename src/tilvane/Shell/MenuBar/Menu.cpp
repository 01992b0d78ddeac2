#include "Shell/MenuBar/Menu.h"

#include <cctype>

#include "Shell/MenuBar/MenuBarController.h"
#include "platform/hotkeys/KeyNames.h"

namespace tilvane {

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
  auto item = std::make_shared<MenuItem>();
  item->separator_ = true;
  return item;
}

std::string MenuItem::keyEquivalentText() const {
  if (keyEquivalent_.empty()) return {};
  std::string key = keyEquivalent_;
  if (key.size() == 1) key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
  return modifierNames(modifierMask_) + key;
}

void MenuItem::performAction() {
  if (!isActionable()) return;
  // The action may rebuild the menu that holds this entry.
  const auto keep = shared_from_this();
  (target_->*action_)(*this);
}

std::shared_ptr<MenuItem> Menu::itemAtIndex(std::size_t index) const {
  return index < items_.size() ? items_[index] : nullptr;
}

void Menu::insertItem(std::shared_ptr<MenuItem> item, std::size_t index) {
  if (index > items_.size()) index = items_.size();
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
}

long Menu::indexOfItem(const MenuItem& item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == &item) return static_cast<long>(i);
  return -1;
}

}  // namespace tilvane
