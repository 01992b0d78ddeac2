#include "Shell/SettingsFollower.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "platform/hotkeys/ShortcutDefaults.h"

namespace tilvane {

namespace {
defaults::UserDefaults& settings() { return defaults::UserDefaults::standard(); }
}  // namespace

SettingsFollower::SettingsFollower() {
  timer_.start(kInterval, [this] { look(); });
}

void SettingsFollower::look() {
  if (settle_.isPending() || !settings().fileMayHaveChanged()) return;
  // Read only once nobody writes it: a file caught half written would be taken for a damaged one.
  const std::string stamp = settings().fileStamp();
  settle_.schedule(kSettle, [this, stamp] {
    if (settings().fileStamp() == stamp) follow(settings().reload());
  });
}

void SettingsFollower::follow(const std::vector<std::string>& keys) {
  if (keys.empty()) return;
  std::string names;
  for (const std::string& key : keys) names += (names.empty() ? "" : ", ") + key;
  LogManager::debug("settings changed in the file: " + names);
  for (const std::string& key : keys) ShortcutDefaults::shared().storedChanged(key);
  AppBridge::settingsChanged().onNext(keys);
}

}  // namespace tilvane
