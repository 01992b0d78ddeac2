#include "AppManager/Settings/UserDefaultsService.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/LayoutAllTarget.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
defaults::UserDefaults& standardDefaults() { return defaults::UserDefaults::standard(); }

// A layout of every window, after the setter has returned.
void layOutAllLater() {
  // The target is looked up when the task runs, so one that went away meanwhile is never called.
  dispatch::MainQueue::async([] {
    if (auto* target = LayoutAllTarget::installed()) target->layoutAll();
  });
}
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
  return standardDefaults().storedBool(showBuildInLayoutActionKey()).value_or(false);
}

bool UserDefaultsService::gutterEnabled() { return standardDefaults().storedBool(gutterEnabledKey()).value_or(false); }

std::int64_t UserDefaultsService::autoLayoutEnabled() {
  return standardDefaults().storedInteger(autoLayoutEnabledKey()).value_or(1);
}

std::int64_t UserDefaultsService::hideInMenuBar() {
  return standardDefaults().storedInteger(hideInMenuBarKey()).value_or(0);
}

void UserDefaultsService::reportMistypedSettings() {
  for (const std::string* key : {&launchAtLoginKey(), &hideInMenuBarKey(), &enabledKey(), &autoLayoutEnabledKey()})
    standardDefaults().storedInteger(*key);
  for (const std::string* key : {&showBuildInLayoutActionKey(), &gutterEnabledKey()})
    standardDefaults().storedBool(*key);
}

bool UserDefaultsService::setHideInMenuBar(std::int64_t value) {
  if (!standardDefaults().setInteger(hideInMenuBarKey(), value)) return false;
  AppBridge::hideInMenuBarChanged().onNext(value == 1);
  return true;
}

bool UserDefaultsService::setAutoLayoutEnabled(std::int64_t value) {
  if (!standardDefaults().setInteger(autoLayoutEnabledKey(), value)) return false;
  if (value == 1) layOutAllLater();
  return true;
}

bool UserDefaultsService::toggleAutoLayoutEnabled() {
  std::int64_t stored = 1;
  const bool saved =
      standardDefaults().update(autoLayoutEnabledKey(), [&stored](const std::optional<defaults::Value>& now) {
        // Read as autoLayoutEnabled() reads it: only a number counts, anything else is the default, on.
        std::int64_t current = 1;
        if (const std::int64_t* number = now ? now->get<std::int64_t>() : nullptr) current = *number;
        if (const bool* flag = now ? now->get<bool>() : nullptr) current = *flag ? 1 : 0;
        stored = current != 1 ? 1 : 0;
        return std::optional<defaults::Value>(stored);
      });
  if (!saved) return false;
  if (stored == 1) layOutAllLater();
  return true;
}

}  // namespace tilvane
