#include "platform/desktop/x11/BrowserOpener.h"

#include <sys/wait.h>

#include "platform/desktop/x11/X11Launcher.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

BrowserOpener::BrowserOpener(Failed failed, std::string program)
    : failed_(std::move(failed)), program_(std::move(program)) {}

BrowserOpener::~BrowserOpener() {
  // Reap those that ended; the others run on, in sessions of their own.
  for (const auto& [pid, opening] : openings_) {
    int status = 0;
    ::waitpid(pid, &status, WNOHANG);
  }
}

bool BrowserOpener::open(const std::string& url) {
  const auto pid = X11Launcher::spawnDetached({program_, url});
  if (!pid) {
    dispatch::MainQueue::async([failed = failed_, url] {
      if (failed) failed(url);
    });
    return false;
  }
  Opening& opening = openings_[*pid];
  opening.url = url;
  opening.watch = ProcessExitWatch::watch(*pid, [this, pid = *pid] { ended(pid); });
  return true;
}

void BrowserOpener::ended(pid_t pid) {
  const auto it = openings_.find(pid);
  if (it == openings_.end()) return;
  const std::string url = it->second.url;
  openings_.erase(it);
  int status = 0;
  const bool reaped = ::waitpid(pid, &status, 0) == pid;
  if (reaped && WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  if (failed_) failed_(url);
}

}  // namespace tilvane::x11
