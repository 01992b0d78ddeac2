#include "platform/desktop/x11/ProcessExitWatch.h"

#include <sys/syscall.h>
#include <unistd.h>

#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

std::unique_ptr<ProcessExitWatch> ProcessExitWatch::watch(pid_t pid, std::function<void()> onExit) {
  dispatch::MainLoop* loop = dispatch::MainQueue::loop();
#ifdef SYS_pidfd_open
  if (!loop || pid <= 0) return nullptr;
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return nullptr;
  std::unique_ptr<ProcessExitWatch> w(new ProcessExitWatch(fd, loop));
  w->onExit_ = std::make_shared<std::function<void()>>(std::move(onExit));
  std::weak_ptr<std::function<void()>> weak = w->onExit_;
  ProcessExitWatch* self = w.get();
  w->watch_ = loop->watchFd(fd, [self, weak] {
    // Readable once the process ended. Stop watching at once (the descriptor stays readable) and report on a
    // later turn, so the owner may destroy this watch in its handler.
    auto handler = weak.lock();
    if (!handler) return;
    self->stop();
    dispatch::MainQueue::async([weak] {
      if (auto h = weak.lock()) (*h)();
    });
  });
  return w;
#else
  (void)pid;
  (void)onExit;
  (void)loop;
  return nullptr;
#endif
}

void ProcessExitWatch::stop() {
  if (watch_ != 0) loop_->unwatchFd(watch_);
  watch_ = 0;
}

ProcessExitWatch::~ProcessExitWatch() {
  stop();
  onExit_.reset();
  close(fd_);
}

}  // namespace tilvane::x11
