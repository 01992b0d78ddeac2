#include "platform/hotkeys/ShortcutDefaults.h"

#include "platform/base/SharedInstance.h"
#include "platform/defaults/UserDefaults.h"

namespace tilvane {
namespace {
constexpr const char* kKeyCode = "keyCode";
constexpr const char* kModifierFlags = "modifierFlags";
}  // namespace

ShortcutDefaults& ShortcutDefaults::shared() { return SharedInstance<ShortcutDefaults>::get(); }

std::optional<MASShortcut> ShortcutDefaults::shortcutForKey(const std::string& key) const {
  const defaults::UserDefaults& stored = defaults::UserDefaults::standard();
  const auto entry = stored.storedDictionary(key);
  if (!entry) return std::nullopt;
  const auto code = entry->find(kKeyCode);
  const auto flags = entry->find(kModifierFlags);
  const std::int64_t* keyCode = code == entry->end() ? nullptr : code->second.get<std::int64_t>();
  const std::int64_t* modifierFlags = flags == entry->end() ? nullptr : flags->second.get<std::int64_t>();
  // Another program's or a hand-edited value: a negative number is no key and no modifier set.
  if (!keyCode || !modifierFlags || *keyCode < 0 || *modifierFlags < 0) {
    stored.reportWrongType(key);
    return std::nullopt;
  }
  return MASShortcut(static_cast<std::uint64_t>(*keyCode), static_cast<std::uint64_t>(*modifierFlags));
}

bool ShortcutDefaults::setShortcut(const std::string& key, const std::optional<MASShortcut>& shortcut) {
  auto& defaults = defaults::UserDefaults::standard();
  bool saved = false;
  if (shortcut) {
    defaults::Dictionary entry;
    entry.emplace(kKeyCode, static_cast<std::int64_t>(shortcut->keyCode()));
    entry.emplace(kModifierFlags, static_cast<std::int64_t>(shortcut->modifierFlags()));
    saved = defaults.setObject(key, std::move(entry));
  } else {
    saved = defaults.removeObjectForKey(key);
  }
  if (saved) changed_.onNext(key);
  return saved;
}

}  // namespace tilvane
