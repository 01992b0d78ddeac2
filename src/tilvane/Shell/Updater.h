#pragma once

#include <string>

namespace tilvane {

/// The update framework: usage report, unhandled-issue reporting, the feed and update checks.
class Updater {
 public:
  virtual ~Updater() = default;
  virtual void sendTrackingReport() = 0;
  virtual void setupIssuesController(bool reportingUnhandledIssues) = 0;
  /// The appcast describing the versions on offer; set once at start, before any check.
  virtual void setFeedURL(const std::string& url) = 0;
  /// Looks for a newer version, with the framework's own user interface.
  virtual void checkForUpdates() = 0;
  /// Shows the framework's feedback dialog.
  virtual void showFeedbackDialog() = 0;

  /// The stored automatic-check flag; automatic checks follow it.
  virtual bool automaticallyChecksForUpdates() const = 0;
  /// False when no flag of its type is stored (absent, a damaged file, a hand edit): nothing is to be done from its
  /// default.
  virtual bool isAutomaticCheckSettingKnown() const { return true; }
  /// False when the flag could not be stored: the stored one stands.
  virtual bool setAutomaticallyChecksForUpdates(bool on) = 0;
  /// Stores the automatic-download flag.
  virtual void setAutomaticallyDownloadsUpdates(bool on) = 0;
  /// The interval between automatic checks, in seconds.
  virtual void setUpdateCheckInterval(double seconds) = 0;
};

}  // namespace tilvane
