#include "platform/updater/DM_SUUpdater.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/defaults/UserDefaults.h"
#include "platform/l10n/Localization.h"
#include "platform/log/ErrorReport.h"
#include "platform/updater/Appcast.h"
#include "platform/updater/Versions.h"

namespace tilvane::updates {
namespace {

constexpr const char* kAutomaticChecksKey = "updaterAutomaticChecks";
constexpr const char* kAutomaticDownloadsKey = "updaterAutomaticDownloads";
constexpr const char* kCheckIntervalKey = "updaterCheckInterval";
constexpr const char* kLastCheckKey = "updaterLastCheck";

defaults::UserDefaults& stored() { return defaults::UserDefaults::standard(); }

// A localised text with "%1", "%2" replaced.
std::string filled(const std::string& key, const std::string& first, const std::string& second = {}) {
  std::string text = NSLocalizedString(key);
  for (const auto& [mark, value] : {std::pair<std::string, std::string>{"%1", first}, {"%2", second}}) {
    const std::size_t at = text.find(mark);
    if (at != std::string::npos) text.replace(at, mark.size(), value);
  }
  return text;
}

UpdateCheckResult failure(std::string problem) {
  UpdateCheckResult result;
  result.kind = UpdateCheckResult::Kind::failed;
  result.problem = std::move(problem);
  return result;
}

}  // namespace

DM_SUUpdater::DM_SUUpdater(FeedSource& source, std::string currentVersion, UpdateAlertView* view,
                           std::function<bool(const std::string&)> openURL, Limits limits)
    : source_(source),
      currentVersion_(std::move(currentVersion)),
      view_(view),
      openURL_(std::move(openURL)),
      limits_(limits) {}

void DM_SUUpdater::setFeedURL(const std::string& url) {
  feedURL_ = url;
  scheduleAutomaticCheck();
}

void DM_SUUpdater::checkForUpdates() {
  if (checking_) {
    showOutcome_ = true;
    return;
  }
  startCheck(true);
}

bool DM_SUUpdater::automaticallyChecksForUpdates() const {
  return stored().storedBool(kAutomaticChecksKey).value_or(false);
}

bool DM_SUUpdater::isAutomaticCheckSettingKnown() const { return stored().storedBool(kAutomaticChecksKey).has_value(); }

bool DM_SUUpdater::setAutomaticallyChecksForUpdates(bool on) {
  if (!stored().setBool(kAutomaticChecksKey, on)) return false;
  scheduleAutomaticCheck();
  return true;
}

bool DM_SUUpdater::automaticallyDownloadsUpdates() const {
  return stored().storedBool(kAutomaticDownloadsKey).value_or(false);
}

void DM_SUUpdater::setAutomaticallyDownloadsUpdates(bool on) {
  stored().setBool(kAutomaticDownloadsKey, on);
  stored().synchronize();
}

double DM_SUUpdater::updateCheckInterval() const {
  if (!stored().objectForKey(kCheckIntervalKey)) return kDefaultCheckInterval;
  const double seconds = stored().doubleForKey(kCheckIntervalKey);
  if (!std::isfinite(seconds)) return kDefaultCheckInterval;
  return std::clamp(seconds, kMinimumCheckInterval, kMaximumCheckInterval);
}

void DM_SUUpdater::setUpdateCheckInterval(double seconds) {
  if (!std::isfinite(seconds)) return;
  stored().setDouble(kCheckIntervalKey, std::clamp(seconds, kMinimumCheckInterval, kMaximumCheckInterval));
  stored().synchronize();
  scheduleAutomaticCheck();
}

std::optional<double> DM_SUUpdater::lastUpdateCheckDate() const {
  if (!stored().objectForKey(kLastCheckKey)) return std::nullopt;
  const double when = stored().doubleForKey(kLastCheckKey);
  return std::isfinite(when) ? std::optional<double>(when) : std::nullopt;
}

void DM_SUUpdater::startCheck(bool userInitiated) {
  showOutcome_ = userInitiated;
  stored().setDouble(kLastCheckKey, dispatch::MainQueue::clock().now());
  stored().synchronize();
  if (feedURL_.empty()) {
    present(failure("no update feed is set"));
    return;
  }
  checking_ = true;
  request_ = source_.fetch(feedURL_, limits_.maxFeedBytes, limits_.timeoutSeconds,
                           [this](const FeedResponse& response) { finishCheck(response); });
}

void DM_SUUpdater::finishCheck(const FeedResponse& response) {
  if (!checking_) return;  // a completion after the end of its request is not ours to act on
  checking_ = false;
  // Kept alive until this call returns: the transport may be inside it.
  const std::unique_ptr<FeedRequest> finished = std::move(request_);
  present(evaluate(response));
}

UpdateCheckResult DM_SUUpdater::evaluate(const FeedResponse& response) const {
  if (!response.error.empty()) return failure(response.error);
  if (response.status != 200) return failure("the server answered with status " + std::to_string(response.status));
  if (response.body.size() > limits_.maxFeedBytes)
    return failure("the feed is larger than " + std::to_string(limits_.maxFeedBytes) + " bytes");
  const Appcast appcast = parseAppcast(response.body);
  if (!appcast.error.empty()) return failure(appcast.error);
  const AppcastItem* newest = newestItem(appcast);
  const auto order = compareVersions(newest->version, currentVersion_);
  if (!order) return failure("the running version \"" + currentVersion_ + "\" cannot be compared");
  UpdateCheckResult result;
  result.version = newest->version;
  if (*order > 0) {
    result.kind = UpdateCheckResult::Kind::updateAvailable;
    result.page = newest->releaseNotesLink.empty() ? newest->downloadLink : newest->releaseNotesLink;
  } else {
    result.kind = UpdateCheckResult::Kind::upToDate;
  }
  return result;
}

UpdateAlert DM_SUUpdater::alertFor(const UpdateCheckResult& result) const {
  UpdateAlert alert;
  alert.closeTitle = NSLocalizedString("OK");
  switch (result.kind) {
    case UpdateCheckResult::Kind::upToDate:
      alert.title = NSLocalizedString("UpToDateTitle");
      alert.text = filled("UpToDateText", currentVersion_);
      break;
    case UpdateCheckResult::Kind::updateAvailable:
      alert.title = NSLocalizedString("UpdateAvailableTitle");
      alert.text = filled("UpdateAvailableText", result.version, currentVersion_);
      if (!result.page.empty()) alert.openTitle = NSLocalizedString("OpenReleasePage");
      alert.closeTitle = NSLocalizedString("Later");
      break;
    case UpdateCheckResult::Kind::failed:
      alert.title = NSLocalizedString("UpdateCheckFailedTitle");
      alert.text = filled("UpdateCheckFailedText", result.problem);
      break;
  }
  return alert;
}

void DM_SUUpdater::present(const UpdateCheckResult& result) {
  lastResult_ = result;
  if (result.kind == UpdateCheckResult::Kind::failed) log::reportWarning("could not check for updates: " + result.problem);
  // An automatic check speaks up only for a newer version; the user asked for every other outcome.
  const bool show = showOutcome_ || result.kind == UpdateCheckResult::Kind::updateAvailable;
  showOutcome_ = false;
  scheduleAutomaticCheck();
  if (!show || !view_) return;
  // The dialog may stay open longer than this object: it holds what it needs itself.
  view_->show(alertFor(result), [open = openURL_, page = result.page] {
    if (!page.empty() && open && !open(page)) log::reportWarning("cannot open " + page);
  });
}

void DM_SUUpdater::scheduleAutomaticCheck() {
  if (!automaticallyChecksForUpdates() || feedURL_.empty() || checking_) {
    nextCheck_.cancel();
    return;
  }
  const double interval = updateCheckInterval();
  const double now = dispatch::MainQueue::clock().now();
  const auto last = lastUpdateCheckDate();
  // A last check in the future (the clock went back) waits one interval, not until that date.
  const double wait = last ? std::clamp(*last + interval - now, kAutomaticCheckDelay, interval) : kAutomaticCheckDelay;
  nextCheck_.schedule(wait, [this] {
    if (!checking_) startCheck(false);
  });
}

}  // namespace tilvane::updates
