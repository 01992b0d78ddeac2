#include "Shell/SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "platform/dispatch/MainQueue.h"

namespace tilvane {
namespace {
int pipeFds[2] = {-1, -1};
// A stop from the terminal, from the session, or the terminal or session going away.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int signal) {
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = write(pipeFds[1], &byte, 1);  // async-signal-safe
}
}  // namespace

SignalPipe::SignalPipe(std::function<void(int)> handler) : onSignal_(std::move(handler)) {
  if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  if (auto* loop = dispatch::MainQueue::loop()) {
    watch_ = loop->watchFd(pipeFds[0], [this] {
      unsigned char byte = 0;
      while (read(pipeFds[0], &byte, 1) == 1) onSignal_(byte);
    });
  }
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (const int stop : kStopSignals) sigaction(stop, &action, nullptr);
}

SignalPipe::~SignalPipe() {
  for (const int stop : kStopSignals) signal(stop, SIG_DFL);
  if (auto* loop = dispatch::MainQueue::loop(); loop && watch_) loop->unwatchFd(watch_);
  for (int& fd : pipeFds) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

}  // namespace tilvane
