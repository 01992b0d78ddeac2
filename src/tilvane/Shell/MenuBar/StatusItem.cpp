#include "Shell/MenuBar/StatusItem.h"

#include "platform/base/SharedInstance.h"

namespace tilvane {

StatusItem::StatusItem(double length, std::unique_ptr<StatusItemView> view) : length_(length), view_(std::move(view)) {
  showIfReady();
}

void StatusItem::setLength(double length) {
  length_ = length;
  showIfReady();
}

void StatusItem::setImage(const std::string& name) {
  button_.image_ = name;
  if (view_) view_->setImage(button_.image_, button_.template_);
  showIfReady();
}

void StatusItem::showIfReady() {
  // A tray entry shown without its image is an empty slot (and the toolkit complains): it waits for one.
  if (view_) view_->setVisible(isVisible() && !button_.image_.empty());
}

void StatusItem::setImageTemplate(bool isTemplate) {
  button_.template_ = isTemplate;
  if (view_) view_->setImage(button_.image_, button_.template_);
}

void StatusItem::setMenu(std::shared_ptr<Menu> menu) {
  menu_ = std::move(menu);
  menuDidChange();
}

void StatusItem::menuDidChange() {
  if (view_ && menu_) view_->setMenu(*menu_);
}

StatusBar& StatusBar::systemStatusBar() { return SharedInstance<StatusBar>::get(); }

std::unique_ptr<StatusItem> StatusBar::statusItemWithLength(double length) const {
  return std::make_unique<StatusItem>(length, factory_ ? factory_() : nullptr);
}

}  // namespace tilvane
