#pragma once

#include <optional>
#include <string>

#include "Shell/ShellServices.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/net/HttpClient.h"

namespace tilvane {

/// The usage ping: once shortly after start, then every two hours while the process runs. A ping is a plain
/// GET of the web site's "analytics.html?" + the build version ("no_version" without one); the reply is not
/// read, and no page script runs.
class AnalyticsManager {
 public:
  static AnalyticsManager& shared();

  /// Where the pings go; without a client nothing is sent.
  void setup(const WebServices& web);
  /// Posts the first ping after the current main-queue task and starts the 7200 s timer.
  void schedule();
  /// One ping. A ping still running is replaced by the new one.
  void start();

  /// `home` (with or without its closing "/") + "analytics.html?" + the percent-encoded version, or
  /// "no_version" when it is empty; absent when that does not form an http(s) address.
  static std::optional<std::string> pageURL(const std::string& home, const std::string& buildVersion);

 private:
  WebServices web_;
  dispatch::ScopedTimer first_;
  dispatch::RepeatingTimer timer_;
  net::HttpClient::RequestId pending_ = 0;
};

}  // namespace tilvane
