#pragma once

#include <functional>
#include <string>

#include "Shell/Updater.h"
#include "platform/updater/DM_SUUpdater.h"

namespace tilvane {

/// The update framework on Linux: checks and their settings are the updater's (DM_SUUpdater); feedback opens
/// the product's feedback page in the browser. The usage report and the unhandled-issue reporter have nothing
/// to report to here and do nothing.
class LinuxUpdater final : public Updater {
 public:
  /// `source` and `view` (null: results only logged) must outlive the updater.
  LinuxUpdater(updates::FeedSource& source, updates::UpdateAlertView* view,
               std::function<bool(const std::string&)> openURL, const std::string& currentVersion);

  void sendTrackingReport() override {}
  void setupIssuesController(bool) override {}
  void setFeedURL(const std::string& url) override { updater_.setFeedURL(url); }
  void checkForUpdates() override { updater_.checkForUpdates(); }
  void showFeedbackDialog() override;
  bool automaticallyChecksForUpdates() const override { return updater_.automaticallyChecksForUpdates(); }
  bool isAutomaticCheckSettingKnown() const override { return updater_.isAutomaticCheckSettingKnown(); }
  bool setAutomaticallyChecksForUpdates(bool on) override { return updater_.setAutomaticallyChecksForUpdates(on); }
  void setAutomaticallyDownloadsUpdates(bool on) override { updater_.setAutomaticallyDownloadsUpdates(on); }
  void setUpdateCheckInterval(double seconds) override { updater_.setUpdateCheckInterval(seconds); }

  updates::DM_SUUpdater& sharedUpdater() { return updater_; }

 private:
  std::function<bool(const std::string&)> openURL_;
  updates::DM_SUUpdater updater_;
};

}  // namespace tilvane
