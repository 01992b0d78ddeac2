#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/dispatch/MainQueue.h"
#include "platform/updater/FeedSource.h"
#include "platform/updater/UpdateAlert.h"

namespace tilvane::updates {

/// The outcome of one update check.
struct UpdateCheckResult {
  enum class Kind { upToDate, updateAvailable, failed };
  Kind kind = Kind::failed;
  /// The newest version the feed offers (not when failed).
  std::string version;
  /// The page of that version: its release notes, else its download (updateAvailable only; may be empty).
  std::string page;
  /// Why the check failed (failed only).
  std::string problem;
};

/// The updater: reads the update feed, compares the newest version it offers with the running one, and tells
/// the user in a small dialog: up to date, a newer version with a button that opens its page, or that it could
/// not check. Checks run on request and, when the user allows it, every check interval on the main loop's
/// clock. Nothing is ever downloaded or installed: the user follows the page. The automatic-check flag, the
/// automatic-download flag (kept, never acted on), the interval and the time of the last check are kept in the
/// user defaults between launches. The feed is untrusted: its size is capped, its request timed out, and a
/// feed that cannot be read is a "could not check". Main thread only.
class DM_SUUpdater {
 public:
  static constexpr double kDefaultCheckInterval = 86400.0;
  /// Bounds of the interval between automatic checks; a stored value outside them is brought inside.
  static constexpr double kMinimumCheckInterval = 3600.0;
  static constexpr double kMaximumCheckInterval = 30 * 86400.0;
  /// No automatic check comes sooner than this after the start or a change of the settings.
  static constexpr double kAutomaticCheckDelay = 60.0;

  /// The limits of one feed request.
  struct Limits {
    std::size_t maxFeedBytes = 1024 * 1024;
    double timeoutSeconds = 15.0;
  };

  /// `source`, `view` (null: results are only logged) must outlive the updater. `currentVersion` is the
  /// running version ("1.2"); `openURL` opens a page in the user's browser.
  DM_SUUpdater(FeedSource& source, std::string currentVersion, UpdateAlertView* view,
               std::function<bool(const std::string&)> openURL, Limits limits);
  DM_SUUpdater(FeedSource& source, std::string currentVersion, UpdateAlertView* view,
               std::function<bool(const std::string&)> openURL)
      : DM_SUUpdater(source, std::move(currentVersion), view, std::move(openURL), Limits{}) {}
  DM_SUUpdater(const DM_SUUpdater&) = delete;
  DM_SUUpdater& operator=(const DM_SUUpdater&) = delete;

  /// The feed every later check reads; starts the automatic checks when they are on.
  void setFeedURL(const std::string& url);
  const std::string& feedURL() const { return feedURL_; }

  /// A check the user asked for: its outcome is always shown. While a check runs, none other starts; the
  /// running one is then shown whatever its outcome.
  void checkForUpdates();
  /// Whether a check is under way.
  bool isChecking() const { return checking_; }

  bool automaticallyChecksForUpdates() const;
  /// False when the file holds no flag of its type (absent, or a hand edit of another type): nothing is to be
  /// done from its default.
  bool isAutomaticCheckSettingKnown() const;
  /// False when it could not be stored (the stored flag, and the checks it schedules, stay).
  bool setAutomaticallyChecksForUpdates(bool on);
  bool automaticallyDownloadsUpdates() const;
  void setAutomaticallyDownloadsUpdates(bool on);
  /// Seconds between automatic checks.
  double updateCheckInterval() const;
  void setUpdateCheckInterval(double seconds);
  /// When the last check started, in seconds since 1970 on the main loop's clock; absent before the first.
  std::optional<double> lastUpdateCheckDate() const;

  /// The outcome of the last check that ended; absent before the first.
  const std::optional<UpdateCheckResult>& lastResult() const { return lastResult_; }
  /// Whether the next automatic check is scheduled.
  bool isAutomaticCheckScheduled() const { return nextCheck_.isPending(); }

  /// The alert that tells `result`, in the user's language.
  UpdateAlert alertFor(const UpdateCheckResult& result) const;

 private:
  void startCheck(bool userInitiated);
  void finishCheck(const FeedResponse& response);
  UpdateCheckResult evaluate(const FeedResponse& response) const;
  void present(const UpdateCheckResult& result);
  /// Plans the next automatic check from the settings and the last check, or cancels it when they are off.
  void scheduleAutomaticCheck();

  FeedSource& source_;
  std::string currentVersion_;
  UpdateAlertView* view_;
  std::function<bool(const std::string&)> openURL_;
  Limits limits_;
  std::string feedURL_;
  std::unique_ptr<FeedRequest> request_;
  bool checking_ = false;
  bool showOutcome_ = false;
  std::optional<UpdateCheckResult> lastResult_;
  dispatch::ScopedTimer nextCheck_;
};

}  // namespace tilvane::updates
