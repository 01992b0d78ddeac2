#pragma once

#include <functional>
#include <string>

#include "Shell/Updater.h"

namespace tilvane {

/// The first-run window shown while this program may not move windows.
class LandingWindow {
 public:
  virtual ~LandingWindow() = default;
  /// Shows a new landing window in place of any earlier one.
  virtual void show() = 0;
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
  LandingWindow& landing;
  AnnouncementRequester& announcements;
  /// Ends the program with exit status 0.
  std::function<void()> terminate;
  /// Opens an address in the user's browser; false when it could not. Empty: nothing to open with.
  std::function<bool(const std::string&)> openURL;
};

}  // namespace tilvane
