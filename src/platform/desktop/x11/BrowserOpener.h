#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/desktop/x11/ProcessExitWatch.h"

namespace tilvane::x11 {

/// Opens web pages in the user's browser through the desktop's opener (xdg-open). The opener starts a browser
/// or ends with a failure; a desktop without a browser is only learnt from that end, so the opener is watched:
/// when it cannot start, or ends with a non-zero status, `failed` gets the address (on a later turn of the main
/// loop), and the user can be told instead of nothing happening. Openers still running when this object goes
/// are left to run. Main thread only.
class BrowserOpener {
 public:
  using Failed = std::function<void(const std::string& url)>;
  explicit BrowserOpener(Failed failed, std::string program = "xdg-open");
  ~BrowserOpener();
  BrowserOpener(const BrowserOpener&) = delete;
  BrowserOpener& operator=(const BrowserOpener&) = delete;

  /// Starts the opener on `url`. False when it cannot be started (`failed` is told as well).
  bool open(const std::string& url);
  /// Whether an opener started here has not been seen to end yet.
  bool isOpening() const { return !openings_.empty(); }

 private:
  void ended(pid_t pid);

  struct Opening {
    std::string url;
    std::unique_ptr<ProcessExitWatch> watch;
  };
  Failed failed_;
  std::string program_;
  std::map<pid_t, Opening> openings_;
};

}  // namespace tilvane::x11
