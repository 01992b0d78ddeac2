#pragma once

#include <string>
#include <vector>

#include "Shell/Updater.h"

namespace tilvane::test {

/// An updater that records every call it gets, in order, as a short line.
struct RecordingUpdater : Updater {
  void sendTrackingReport() override { calls.push_back("report"); }
  void setupIssuesController(bool on) override { calls.push_back(on ? "issues on" : "issues off"); }
  void setFeedURL(const std::string& url) override { calls.push_back("feed " + url); }
  void checkForUpdates() override { calls.push_back("check"); }
  void showFeedbackDialog() override { calls.push_back("feedback"); }
  bool automaticallyChecksForUpdates() const override { return automaticChecks; }
  bool isAutomaticCheckSettingKnown() const override { return automaticChecksKnown; }
  bool setAutomaticallyChecksForUpdates(bool on) override {
    calls.push_back(on ? "checks on" : "checks off");
    if (!savesFlag) return false;
    automaticChecks = on;
    return true;
  }
  void setAutomaticallyDownloadsUpdates(bool on) override { calls.push_back(on ? "downloads on" : "downloads off"); }
  void setUpdateCheckInterval(double seconds) override {
    calls.push_back("interval " + std::to_string(static_cast<long long>(seconds)));
  }

  /// How many times `line` was recorded.
  long count(const std::string& line) const {
    long n = 0;
    for (const std::string& call : calls) n += call == line;
    return n;
  }

  bool automaticChecks = false;
  bool automaticChecksKnown = true;
  /// False: the flag cannot be stored.
  bool savesFlag = true;
  std::vector<std::string> calls;
};

}  // namespace tilvane::test
