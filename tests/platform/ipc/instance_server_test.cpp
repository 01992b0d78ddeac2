// The running instance's end of the socket: however many clients of the user sit idle, a later start is heard.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/ipc/InstanceChannel.h"
#include "platform/ipc/InstanceServer.h"
#include "support/TestEnvironment.h"

namespace tilvane::ipc {
namespace {

/// A loop whose clock stands still (no client ever times out) and whose watched descriptors are polled when
/// the test pumps it.
class FrozenPollLoop final : public dispatch::MainLoop {
 public:
  const dispatch::Clock& clock() const override { return clock_; }
  void async(dispatch::Task) override {}
  dispatch::TaskId asyncAfter(double, dispatch::Task) override { return ++next_; }
  void cancel(dispatch::TaskId) override {}
  dispatch::TaskId watchFd(int fd, dispatch::Task onReadable) override {
    watchers_[++next_] = {fd, std::move(onReadable)};
    return next_;
  }
  void unwatchFd(dispatch::TaskId id) override { watchers_.erase(id); }
  bool isMainThread() const override { return true; }

  /// Runs the watcher of each readable descriptor once.
  void pump() {
    const auto watched = watchers_;
    for (const auto& [id, watch] : watched) {
      pollfd p{watch.first, POLLIN, 0};
      if (poll(&p, 1, 0) == 1 && watchers_.count(id)) watch.second();
    }
  }

 private:
  class StillClock final : public dispatch::Clock {
   public:
    double now() const override { return 0; }
  } clock_;
  std::map<dispatch::TaskId, std::pair<int, dispatch::Task>> watchers_;
  dispatch::TaskId next_ = 0;
};

int connectIdle(const std::filesystem::path& socket) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool closedByServer(int fd) {
  pollfd p{fd, POLLIN, 0};
  char byte = 0;
  return poll(&p, 1, 0) == 1 && read(fd, &byte, 1) == 0;
}

TEST(InstanceServerTest, IdleClientsFillingEverySlotGiveWayOldestFirstToALaterStart) {
  test::ScopedTempDir folder;
  FrozenPollLoop loop;  // outlives the server
  std::string error;
  const auto lock = InstanceLock::tryTake(instanceLockIn(folder.path()), error);
  ASSERT_TRUE(lock) << error;
  auto server = InstanceServer::listen(*lock, error);
  ASSERT_TRUE(server) << error;
  std::vector<std::string> messages;
  server->serve(loop, [&](std::string message) { messages.push_back(std::move(message)); });

  std::vector<int> idle;
  for (int i = 0; i < 40; ++i) {
    idle.push_back(connectIdle(instanceSocketIn(folder.path())));
    ASSERT_GE(idle.back(), 0) << "client " << i;
    loop.pump();
  }
  // The first eight made room for the last eight; the rest are served still.
  for (int i = 0; i < 40; ++i) EXPECT_EQ(closedByServer(idle[i]), i < 8) << "client " << i;

  std::atomic<bool> done{false};
  bool delivered = false;
  std::string sendError;
  std::thread later([&] {
    delivered = sendToRunningInstance(instanceSocketIn(folder.path()), "reopen", 5.0, sendError);
    done = true;
  });
  while (!done) loop.pump();
  later.join();
  EXPECT_TRUE(delivered) << sendError;
  EXPECT_EQ(messages, std::vector<std::string>{"reopen"});
  EXPECT_TRUE(closedByServer(idle[8])) << "the oldest idle client left for the later start";
  EXPECT_FALSE(closedByServer(idle[9]));
  for (const int fd : idle) close(fd);
}

}  // namespace
}  // namespace tilvane::ipc
