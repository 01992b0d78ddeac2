#include "Shortcuts/ShortcutsManager.h"

#include <fmt/format.h>

#include <algorithm>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/CustomLayoutModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/hotkeys/MASShortcutMonitor.h"

namespace tilvane {

ShortcutsManager& ShortcutsManager::shared() { return SharedInstance<ShortcutsManager>::get(); }

ShortcutsManager::ShortcutsManager() : self_(std::make_shared<ShortcutsManager*>(this)) {}

ShortcutsManager::~ShortcutsManager() {
  if (!MASShortcutMonitor::exists()) return;
  for (const auto& pair : shortcutLayouts_) {
    if (pair.shortcut) MASShortcutMonitor::sharedMonitor().unregisterShortcut(*pair.shortcut);
  }
}

void ShortcutsManager::registerAll() {
  for (const auto& layout : StoreService::shared().customLayouts()) register_(layout);
}

void ShortcutsManager::observe() {
  std::weak_ptr<ShortcutsManager*> weak = self_;
  disposeBag_.insert(CustomLayoutBridge::layoutAdded().subscribe([weak](const CustomLayoutModelPtr& layout) {
    if (auto self = weak.lock(); self && layout) (*self)->register_(layout);
  }));
  disposeBag_.insert(CustomLayoutBridge::layoutRemoved().subscribe([weak](const CustomLayoutModelPtr& layout) {
    if (auto self = weak.lock(); self && layout) (*self)->unregister(*layout);
  }));
  disposeBag_.insert(CustomLayoutBridge::layoutChanged().subscribe([weak](const CustomLayoutModelPtr& layout) {
    if (auto self = weak.lock(); self && layout) (*self)->reregister(layout);
  }));
}

void ShortcutsManager::register_(const CustomLayoutModelPtr& layout) { registerPair(layout, std::nullopt); }

void ShortcutsManager::registerPair(const CustomLayoutModelPtr& layout, const std::optional<MASShortcut>& waiting) {
  if (!layout) return;
  const std::int64_t keyCode = layout->keyCode();
  const std::int64_t flags = layout->modifierFlags();
  // The store allows −1 (no hot key) or values of 0 and more; anything else below 0 is not a key either.
  if (keyCode < 0 || flags < 0) {
    shortcutLayouts_.push_back({layout, std::nullopt});
    return;
  }
  const MASShortcut shortcut(static_cast<std::uint64_t>(keyCode), static_cast<std::uint64_t>(flags));
  shortcutLayouts_.push_back({layout, shortcut});

  std::weak_ptr<ShortcutsManager*> weakSelf = self_;
  std::weak_ptr<CustomLayoutModel> weakLayout = layout;
  // One report of a refusal, with the key, the layout and why (another program such as the window manager
  // holds the key, or no key has that code); the monitor takes the key once it is free.
  std::string refusal = "another program holds it or no key has that code";
  const bool registered = MASShortcutMonitor::sharedMonitor().registerShortcutWhenFree(
      shortcut,
      [weakSelf, weakLayout] {
        auto self = weakSelf.lock();
        auto target = weakLayout.lock();
        if (self && target) (*self)->performShortcut(target);
      },
      refusal);
  if (!registered) {
    const bool waits = MASShortcutMonitor::sharedMonitor().isShortcutWaiting(shortcut);
    // The key was waiting before this change and waits on: it was told when it started to.
    if (waits && waiting == shortcut) return;
    LogManager::warning(fmt::format("hot key {} of custom layout \"{}\" not registered: {}{}", shortcut.description(),
                                    layout->name(), refusal, waits ? "; it is taken as soon as it is free" : ""));
  }
}

std::vector<ShortcutsManager::ShortcutLayout>::iterator ShortcutsManager::findPair(const std::string& id) {
  return std::find_if(shortcutLayouts_.begin(), shortcutLayouts_.end(),
                      [&id](const ShortcutLayout& pair) { return pair.customLayout->id() == id; });
}

void ShortcutsManager::unregister(const CustomLayoutModel& layout) {
  auto pair = findPair(layout.id());
  if (pair == shortcutLayouts_.end()) return;
  if (pair->shortcut) MASShortcutMonitor::sharedMonitor().unregisterShortcut(*pair->shortcut);
  shortcutLayouts_.erase(pair);
}

void ShortcutsManager::reregister(const CustomLayoutModelPtr& layout) {
  if (!layout) return;
  const auto pair = findPair(layout->id());
  if (pair == shortcutLayouts_.end()) return;
  std::optional<MASShortcut> waiting;
  if (pair->shortcut && MASShortcutMonitor::sharedMonitor().isShortcutWaiting(*pair->shortcut)) waiting = pair->shortcut;
  unregister(*layout);
  registerPair(layout, waiting);
}

void ShortcutsManager::performShortcut(const CustomLayoutModelPtr& layout) {
  if (layout) LayoutManager::shared().applyCustomLayout(*layout);
}

}  // namespace tilvane
