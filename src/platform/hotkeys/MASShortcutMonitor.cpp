#include "platform/hotkeys/MASShortcutMonitor.h"

#include "platform/base/SharedInstance.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/log/ErrorReport.h"

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
  waiting_.erase(shortcut);
  actions_.emplace(shortcut, std::move(action));
  return true;
}

bool MASShortcutMonitor::registerShortcut(const MASShortcut& shortcut, Action action, std::string& refusal) {
  return registerWith(shortcut, std::move(action), refusal, false);
}

bool MASShortcutMonitor::registerShortcutWhenFree(const MASShortcut& shortcut, Action action, std::string& refusal) {
  return registerWith(shortcut, std::move(action), refusal, true);
}

bool MASShortcutMonitor::registerWith(const MASShortcut& shortcut, Action action, std::string& refusal, bool wait) {
  if (auto found = actions_.find(shortcut); found != actions_.end()) {
    found->second = std::move(action);
    return true;
  }
  HotKeyServer* server = HotKeyServer::current();
  if (server == nullptr) {
    refusal = "no hot-key backend is installed";
    return false;
  }
  if (server->grab(shortcut, refusal)) {
    waiting_.erase(shortcut);
    actions_.emplace(shortcut, std::move(action));
    return true;
  }
  // A shortcut that waits already keeps waiting, with the new action.
  if (!wait && !waiting_.contains(shortcut)) return false;
  waiting_[shortcut] = std::move(action);
  // Nothing tells a program that another one let a key go: asking again now and then is the only way to learn.
  if (!retry_.isRunning()) retry_.start(kRetryInterval, [this] { retryWaiting(); });
  return false;
}

void MASShortcutMonitor::retryWaiting() {
  HotKeyServer* server = HotKeyServer::current();
  std::vector<MASShortcut> taken;
  for (auto it = waiting_.begin(); server != nullptr && it != waiting_.end();) {
    std::string refusal;
    if (!server->grab(it->first, refusal)) {
      ++it;
      continue;
    }
    actions_[it->first] = std::move(it->second);
    taken.push_back(it->first);
    it = waiting_.erase(it);
  }
  if (waiting_.empty()) retry_.stop();
  for (const MASShortcut& shortcut : taken) {
    log::report(log::Level::info, "hot key " + shortcut.readableString() + " is free now and taken");
    taken_.onNext(shortcut);
  }
}

void MASShortcutMonitor::unregisterShortcut(const MASShortcut& shortcut) {
  if (waiting_.erase(shortcut) != 0 && waiting_.empty()) retry_.stop();
  if (actions_.erase(shortcut) == 0) return;
  if (HotKeyServer* server = HotKeyServer::current()) server->ungrab(shortcut);
}

bool MASShortcutMonitor::isShortcutRegistered(const MASShortcut& shortcut) const {
  return actions_.contains(shortcut);
}

std::vector<MASShortcut> MASShortcutMonitor::waitingShortcuts() const {
  std::vector<MASShortcut> shortcuts;
  for (const auto& entry : waiting_) shortcuts.push_back(entry.first);
  return shortcuts;
}

void MASShortcutMonitor::handlePress(const MASShortcut& shortcut) {
  auto found = actions_.find(shortcut);
  if (found == actions_.end() || !found->second) return;
  // A copy: the action may unregister its own shortcut while it runs.
  Action action = found->second;
  action();
}

}  // namespace tilvane
