#include "Shell/SettingsFollower.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/hotkeys/ShortcutDefaults.h"

namespace tilvane {

namespace {
defaults::UserDefaults& settings() { return defaults::UserDefaults::standard(); }
}  // namespace

SettingsFollower::SettingsFollower() {
  std::string error;
  watch_ = filewatch::watchFile(
      settings().filePath(), [this] { touched(); }, error);
  if (!watch_)
    LogManager::error("the settings file is not followed (" + error +
                      "): what changes it while the program runs "
                      "is taken in at the next start");
  // What changed between the start's read and the watch.
  if (settings().fileMayHaveChanged()) touched();
}

void SettingsFollower::touched() {
  damage_.cancel();
  // Read only once nobody writes it: a file caught half written would be taken for a damaged one.
  settle_.schedule(kSettle, [this] { look(); });
}

void SettingsFollower::look() {
  if (!settings().fileMayHaveChanged()) return;
  if (const auto keys = settings().reloadIfWhole()) {
    follow(*keys);
    return;
  }
  // Not whole: a writer's pause, or damage once it stays so.
  const std::string stamp = settings().fileStamp();
  damage_.schedule(kDamageWait, [this, stamp] {
    if (settings().fileStamp() == stamp)
      follow(settings().reload());
    else
      look();
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
