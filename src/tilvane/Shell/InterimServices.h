#pragma once

#include <string>

#include "AppManager/Logging/LogManager.h"
#include "Shell/ShellServices.h"

namespace tilvane {

// Until the update client and the announcement client exist, their requests are logged so
// that none of them passes unseen.
class InterimUpdater final : public Updater {
 public:
  void sendTrackingReport() override {}
  void setupIssuesController(bool) override {}
  void setFeedURL(const std::string& url) override { feed_ = url; }
  void checkForUpdates() override { LogManager::warning("no update client yet to read " + feed_); }
  void showFeedbackDialog() override { LogManager::warning("no update client yet to send feedback through"); }

 private:
  std::string feed_;
};

class InterimAnnouncements final : public AnnouncementRequester {
 public:
  void requestAfter(double) override {}
};

}  // namespace tilvane
