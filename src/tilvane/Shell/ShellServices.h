#pragma once

#include <functional>
#include <memory>
#include <string>

#include "LandingWindow/LandingWindowView.h"
#include "Shell/Updater.h"

namespace tilvane {

class LaunchAtLogin;
class PreferencesViews;
class AdvancedViews;
namespace net {
class HttpClient;
}

/// What the shell's web services use: the client that sends their requests and where they go.
struct WebServices {
  /// Sends the requests; null: nothing is sent.
  net::HttpClient* http = nullptr;
  /// The product web site's root (Constants::Url::home(), or a test's server).
  std::string home;
  /// The build version the analytics ping reports; empty: none ("no_version").
  std::string buildVersion;
};

/// Makes the windows of the first-run landing window, shown while this program may not move windows.
class LandingWindows {
 public:
  virtual ~LandingWindows() = default;
  /// A new window, not yet shown.
  virtual std::unique_ptr<LandingWindowView> makeView() = 0;
};

/// Fetches the remote announcement, off the main queue.
class AnnouncementRequester {
 public:
  virtual ~AnnouncementRequester() = default;
  /// One request, `seconds` from now, on a worker queue.
  virtual void requestAfter(double seconds) = 0;
};

/// What the shell reaches outside itself; every member outlives the delegate's launch and its shared instances.
struct ShellServices {
  Updater& updater;
  LandingWindows& landing;
  AnnouncementRequester& announcements;
  /// Ends the program with exit status 0.
  std::function<void()> terminate;
  /// Ends the program as terminate does, then starts it afresh in the same process.
  std::function<void()> relaunch;
  /// Opens an address in the user's browser; false when it could not. Empty: nothing to open with.
  std::function<bool(const std::string&)> openURL;
  /// Makes the preferences window and its panes; null: the preferences have no window.
  PreferencesViews* preferencesViews = nullptr;
  /// Start at login; null: the XDG autostart entry.
  LaunchAtLogin* launchAtLogin = nullptr;
  /// The analytics ping's client and addresses.
  WebServices web{};
  /// Makes the advanced window and its panes; null: the advanced window has no window.
  AdvancedViews* advancedViews = nullptr;
};

}  // namespace tilvane
