#include "AppManager/Settings/UserDefaultsService.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/LayoutAllTarget.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
defaults::UserDefaults& standardDefaults() { return defaults::UserDefaults::standard(); }
}  // namespace

const std::string& UserDefaultsService::launchAtLoginKey() {
  static const std::string key = "launchAtLogin";
  return key;
}

const std::string& UserDefaultsService::hideInMenuBarKey() {
  static const std::string key = "hideInMenuBar";
  return key;
}

const std::string& UserDefaultsService::enabledKey() {
  static const std::string key = "enabled";
  return key;
}

const std::string& UserDefaultsService::autoLayoutEnabledKey() {
  static const std::string key = "autoLayoutEnabled";
  return key;
}

const std::string& UserDefaultsService::showBuildInLayoutActionKey() {
  static const std::string key = "showBuildInLayoutAction";
  return key;
}

const std::string& UserDefaultsService::gutterEnabledKey() {
  static const std::string key = "gutterEnabled";
  return key;
}

bool UserDefaultsService::showBuildInLayoutAction() {
  const auto value = standardDefaults().objectForKey(showBuildInLayoutActionKey());
  return value && value->boolValue();
}

bool UserDefaultsService::gutterEnabled() {
  const auto value = standardDefaults().objectForKey(gutterEnabledKey());
  return value && value->boolValue();
}

std::int64_t UserDefaultsService::autoLayoutEnabled() {
  const auto value = standardDefaults().objectForKey(autoLayoutEnabledKey());
  return value ? value->integerValue() : 1;
}

bool UserDefaultsService::setHideInMenuBar(std::int64_t value) {
  if (!standardDefaults().setInteger(hideInMenuBarKey(), value)) return false;
  AppBridge::hideInMenuBarChanged().onNext(value == 1);
  return true;
}

bool UserDefaultsService::setAutoLayoutEnabled(std::int64_t value) {
  if (!standardDefaults().setInteger(autoLayoutEnabledKey(), value)) return false;
  if (value != 1) return true;
  // The target is looked up when the task runs, so one that went away meanwhile is never called.
  dispatch::MainQueue::async([] {
    if (auto* target = LayoutAllTarget::installed()) target->layoutAll();
  });
  return true;
}

}  // namespace tilvane
