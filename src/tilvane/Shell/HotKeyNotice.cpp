#include "Shell/HotKeyNotice.h"

#include "UI/HUD/VkHUD.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {
// Long enough to read a sentence and a few chords.
constexpr double kNoticeSeconds = 6.0;
}  // namespace

void announceHotKeysNotTaken() {
  if (!MASShortcutMonitor::exists()) return;
  std::string keys;
  for (const MASShortcut& shortcut : MASShortcutMonitor::sharedMonitor().waitingShortcuts())
    keys += (keys.empty() ? " " : ", ") + shortcut.readableString();
  if (keys.empty()) return;
  VkHUD::shared().show(NSLocalizedString("HotKeysHeldElsewhere") + keys, kNoticeSeconds, VkHUDPosition::center,
                       VkHUDSize::small, VkHUDStyle::dark, true);
}

}  // namespace tilvane
