#include "Preferences/PreferencePane.h"

#include "AppManager/Logging/LogManager.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

std::string PreferencePane::toolbarLabelFor(const std::string& labelKey) {
  return " " + NSLocalizedString(labelKey) + "\u3000";
}

PreferencePane::PreferencePane(const std::string& labelKey, std::string imageName)
    : toolbarItemLabel_(toolbarLabelFor(labelKey)), toolbarItemImage_(std::move(imageName)) {}

void PreferencePane::viewWillAppear() { applyPaneSize(); }

PaneView* PreferencePane::view() {
  loadViewIfNeeded();
  return view_.get();
}

void PreferencePane::loadView() { view_ = makeView(); }

void PreferencePane::logHook(const char* hook) const { LogManager::debug(className() + " setup " + hook); }

void PreferencePane::applyPaneSize() {
  if (view_) view_->setFrameSize(paneSize());
}

}  // namespace tilvane
