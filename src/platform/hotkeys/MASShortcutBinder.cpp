#include "platform/hotkeys/MASShortcutBinder.h"

#include "platform/base/SharedInstance.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/ShortcutDefaults.h"
#include "platform/log/ErrorReport.h"

namespace tilvane {

MASShortcutBinder& MASShortcutBinder::sharedBinder() { return SharedInstance<MASShortcutBinder>::get(); }

MASShortcutBinder::MASShortcutBinder() {
  ShortcutDefaults::shared()
      .changed()
      .subscribe([this](const std::string& key) {
        if (bindings_.contains(key)) refresh(key);
      })
      .disposed(disposeBag_);
}

MASShortcutBinder::~MASShortcutBinder() {
  if (!MASShortcutMonitor::exists()) return;
  for (const auto& [key, binding] : bindings_)
    if (binding.registered) MASShortcutMonitor::sharedMonitor().unregisterShortcut(*binding.registered);
}

void MASShortcutBinder::bindShortcutWithDefaultsKey(const std::string& key, Action action) {
  Binding& binding = bindings_[key];
  binding.action = std::move(action);
  refresh(key);
}

void MASShortcutBinder::breakBindingWithDefaultsKey(const std::string& key) {
  const auto found = bindings_.find(key);
  if (found == bindings_.end()) return;
  if (found->second.registered) MASShortcutMonitor::sharedMonitor().unregisterShortcut(*found->second.registered);
  bindings_.erase(found);
}

std::optional<MASShortcut> MASShortcutBinder::activeShortcut(const std::string& key) const {
  const auto found = bindings_.find(key);
  if (found == bindings_.end() || !found->second.registered) return std::nullopt;
  if (!MASShortcutMonitor::sharedMonitor().isShortcutRegistered(*found->second.registered)) return std::nullopt;
  return found->second.registered;
}

void MASShortcutBinder::refresh(const std::string& key) {
  Binding& binding = bindings_.at(key);
  MASShortcutMonitor& monitor = MASShortcutMonitor::sharedMonitor();
  if (binding.registered) monitor.unregisterShortcut(*binding.registered);
  binding.registered.reset();
  const std::optional<MASShortcut> stored = ShortcutDefaults::shared().shortcutForKey(key);
  if (!stored) return;
  // The action is looked up at each press, so a later bind of the same key changes what runs.
  std::string refusal = "another program holds it";
  const bool taken = monitor.registerShortcutWhenFree(
      *stored,
      [this, key] {
        const auto found = bindings_.find(key);
        if (found != bindings_.end() && found->second.action) found->second.action();
      },
      refusal);
  if (taken || monitor.isShortcutWaiting(*stored)) binding.registered = stored;
  if (!taken) {
    log::reportWarning("the hot key " + stored->readableString() + " of \"" + key + "\" cannot be taken: " + refusal +
                       (binding.registered ? "; it is taken as soon as it is free" : ""));
  }
}

ShortcutAvailability MASShortcutBinder::availability(const std::string& key, const MASShortcut& shortcut) const {
  const auto own = bindings_.find(key);
  if (own != bindings_.end() && own->second.registered == shortcut) return ShortcutAvailability::available;
  for (const auto& [other, binding] : bindings_) {
    if (other == key) continue;
    if (ShortcutDefaults::shared().shortcutForKey(other) == shortcut) return ShortcutAvailability::takenByBinding;
  }
  if (MASShortcutMonitor::exists() && (MASShortcutMonitor::sharedMonitor().isShortcutRegistered(shortcut) ||
                                       MASShortcutMonitor::sharedMonitor().isShortcutWaiting(shortcut)))
    return ShortcutAvailability::takenByBinding;
  HotKeyServer* server = HotKeyServer::current();
  if (!server) return ShortcutAvailability::available;
  // A grab answers whether another program holds the combination; give it straight back.
  // A question, not a registration: nothing is reported.
  std::string refusal;
  if (!server->grab(shortcut, refusal)) return ShortcutAvailability::takenByProgram;
  server->ungrab(shortcut);
  return ShortcutAvailability::available;
}

}  // namespace tilvane
