#include "Shell/SettingsNotices.h"

#include <memory>
#include <mutex>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

/// Keys of the wrong type waiting for the next turn's message.
struct PendingKeys {
  std::mutex mutex;
  std::vector<std::string> keys;
};

}  // namespace

void installSettingsNotices(defaults::UserDefaults& settings, std::function<void(const std::string&)> show) {
  auto pending = std::make_shared<PendingKeys>();
  settings.setNotifier([pending, show = std::move(show)](const defaults::UserDefaults::Notice& notice) {
    using Kind = defaults::UserDefaults::Notice::Kind;
    if (notice.kind == Kind::damaged) {
      const std::string text =
          NSLocalizedString("SettingsDamagedWhileRunning") + " " + notice.copy.filename().string() + ".";
      dispatch::MainQueue::async([show, text] { show(text); });
      return;
    }
    std::lock_guard lock(pending->mutex);
    pending->keys.push_back(notice.key);
    if (pending->keys.size() > 1) return;
    dispatch::MainQueue::async([pending, show] {
      std::string names;
      {
        std::lock_guard keysLock(pending->mutex);
        for (const std::string& key : pending->keys) names += (names.empty() ? "\"" : ", \"") + key + "\"";
        pending->keys.clear();
      }
      show(NSLocalizedString("SettingsWrongType") + " " + names + ".");
    });
  });
}

std::string settingsLoadText(const defaults::UserDefaults& settings) {
  const auto& problem = settings.loadProblem();
  if (!problem || problem->keptBefore) return {};
  if (problem->copy.empty()) return NSLocalizedString("SettingsUnreadable");
  return NSLocalizedString("SettingsDamaged") + " " + problem->copy.filename().string() + ".";
}

}  // namespace tilvane
