#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "Models/ModelsFwd.h"
#include "platform/hotkeys/MASShortcut.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// Keeps one global hot key per custom layout registered with the shared hot-key monitor, in step with the
/// custom-layout editor's events: an added layout is registered, a removed one unregistered, a changed one
/// registered afresh. Pressing a layout's hot key applies that layout to the focused window. A hot key the
/// monitor cannot take (another program holds it) is logged with the key when it starts to wait (not again at
/// each edit of its layout) and waits with the monitor, which takes it as soon as it is free. Main thread only.
class ShortcutsManager {
 public:
  /// One layout known to the manager and its hot key (absent when the layout has none).
  struct ShortcutLayout {
    CustomLayoutModelPtr customLayout;
    std::optional<MASShortcut> shortcut;
  };

  /// The one manager, made on first use.
  static ShortcutsManager& shared();

  ShortcutsManager();
  /// Lets go of every hot key the manager registered.
  ~ShortcutsManager();
  ShortcutsManager(const ShortcutsManager&) = delete;
  ShortcutsManager& operator=(const ShortcutsManager&) = delete;

  /// Registers every stored custom layout, in the store's order. Called once at start-up.
  void registerAll();
  /// Follows the custom-layout buses: added → register_, removed → unregister, changed → reregister (a change
  /// without a layout does nothing). Called once, after registerAll().
  void observe();

  /// Appends the layout's pair and, when both its key code and modifier flags are set (not −1), registers its
  /// hot key (`register`, a keyword in C++).
  void register_(const CustomLayoutModelPtr& layout);
  /// Removes the first pair whose layout has this layout's id and unregisters its hot key; nothing when none.
  void unregister(const CustomLayoutModel& layout);
  /// Replaces the pair of a changed layout (matched by id): unregister, then register_ with the new values, so
  /// its pair moves to the end. Nothing when the layout has no pair.
  void reregister(const CustomLayoutModelPtr& layout);
  /// The hot-key action: applies the layout to the focused window.
  void performShortcut(const CustomLayoutModelPtr& layout);

  /// The pairs, in registration order.
  const std::vector<ShortcutLayout>& shortcutLayouts() const { return shortcutLayouts_; }

 private:
  /// register_; a refusal is not logged when the key is `waiting`, which waited before the layout changed and
  /// was logged when it started to.
  void registerPair(const CustomLayoutModelPtr& layout, const std::optional<MASShortcut>& waiting);
  /// The first pair whose layout has `id`.
  std::vector<ShortcutLayout>::iterator findPair(const std::string& id);

  rx::DisposeBag disposeBag_;
  std::vector<ShortcutLayout> shortcutLayouts_;
  /// Hot-key actions hold this weakly, so a press after the manager went does nothing.
  std::shared_ptr<ShortcutsManager*> self_;
};

}  // namespace tilvane
