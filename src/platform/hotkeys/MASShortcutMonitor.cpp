#include "platform/hotkeys/MASShortcutMonitor.h"

#include "platform/base/SharedInstance.h"
#include "platform/hotkeys/HotKeyServer.h"

namespace tilvane {

MASShortcutMonitor& MASShortcutMonitor::sharedMonitor() { return SharedInstance<MASShortcutMonitor>::get(); }

bool MASShortcutMonitor::exists() { return SharedInstance<MASShortcutMonitor>::exists(); }

MASShortcutMonitor::~MASShortcutMonitor() {
  HotKeyServer* server = HotKeyServer::current();
  if (server == nullptr) return;
  for (const auto& entry : actions_) server->ungrab(entry.first);
}

bool MASShortcutMonitor::registerShortcut(const MASShortcut& shortcut, Action action) {
  if (auto found = actions_.find(shortcut); found != actions_.end()) {
    found->second = std::move(action);
    return true;
  }
  HotKeyServer* server = HotKeyServer::current();
  if (server == nullptr || !server->grab(shortcut)) return false;
  actions_.emplace(shortcut, std::move(action));
  return true;
}

bool MASShortcutMonitor::registerShortcut(const MASShortcut& shortcut, Action action, std::string& refusal) {
  if (auto found = actions_.find(shortcut); found != actions_.end()) {
    found->second = std::move(action);
    return true;
  }
  HotKeyServer* server = HotKeyServer::current();
  if (server == nullptr) {
    refusal = "no hot-key backend is installed";
    return false;
  }
  if (!server->grab(shortcut, refusal)) return false;
  actions_.emplace(shortcut, std::move(action));
  return true;
}

void MASShortcutMonitor::unregisterShortcut(const MASShortcut& shortcut) {
  if (actions_.erase(shortcut) == 0) return;
  if (HotKeyServer* server = HotKeyServer::current()) server->ungrab(shortcut);
}

bool MASShortcutMonitor::isShortcutRegistered(const MASShortcut& shortcut) const {
  return actions_.contains(shortcut);
}

void MASShortcutMonitor::handlePress(const MASShortcut& shortcut) {
  auto found = actions_.find(shortcut);
  if (found == actions_.end() || !found->second) return;
  // A copy: the action may unregister its own shortcut while it runs.
  Action action = found->second;
  action();
}

}  // namespace tilvane
