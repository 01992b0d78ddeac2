#include "Preferences/PreferencePane.h"

#include "AppManager/Logging/LogManager.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

std::string PreferencePane::toolbarLabelFor(const std::string& labelKey) {
  // Appended rather than " " + text: g++ 12 warns falsely (-Wrestrict) on a literal before a string.
  std::string label(1, ' ');
  label += NSLocalizedString(labelKey);
  label += "\u3000";
  return label;
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
