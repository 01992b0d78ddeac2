// One instance per user: a later start hands its URL (or a reopen) to the running program and exits, a socket
// left by a killed instance does not stop the next start, and no client can stop the running one from answering.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/ipc/InstanceChannel.h"
#include "support/TestEnvironment.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

constexpr const char* kLayoutAll = "tilvane://action?target=layoutall";

/// A client of the running instance's socket that sends what a test says and holds the connection open.
class RawClient {
 public:
  explicit RawClient(const std::string& bytes) : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, ipc::instanceSocketPath().c_str(), sizeof address.sun_path - 1);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  ~RawClient() { close(fd_); }
  bool connected() const { return connected_; }
  /// True when the program closes the connection within `seconds`.
  bool closedByPeer(double seconds) const {
    pollfd watch{fd_, POLLIN, 0};
    char byte = 0;
    return poll(&watch, 1, static_cast<int>(seconds * 1000)) == 1 && read(fd_, &byte, 1) == 0;
  }

 private:
  int fd_;
  bool connected_ = false;
};

class InstanceTest : public WorldTest {
 protected:
  /// Runs a later start to its end; its exit code, -1 when it took longer than 2 s.
  int laterStart(const std::vector<std::string>& args) {
    auto program = startTilvane(args);
    return program ? exitCode(*program, output_, 2.0) : -1;
  }

  ScopedEnv desktop_{"TILVANE_DESKTOP", "sim"};
  std::string output_;
  std::string firstOutput_;
};

TEST_F(InstanceTest, LaterStartsHandTheirURLOrAReopenToTheRunningOne) {
  auto first = startTilvane();
  ASSERT_TRUE(first && readUntil(*first, "start App", firstOutput_)) << firstOutput_;

  EXPECT_EQ(laterStart({kLayoutAll}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "layout all", firstOutput_, 5.0)) << firstOutput_;
  EXPECT_EQ(laterStart({}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "reopen", firstOutput_, 5.0)) << firstOutput_;

  const RawClient garbage("\x01\xff garbage\n");
  const RawClient silent("");
  const RawClient halfMessage("tilvane://action?tar");
  const RawClient oversized(std::string(9 * 1024, 'a'));
  ASSERT_TRUE(garbage.connected() && silent.connected() && halfMessage.connected() && oversized.connected());
  EXPECT_TRUE(oversized.closedByPeer(1.0)) << "an oversized message is kept until the time-out";
  EXPECT_EQ(laterStart({kLayoutAll}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "layout all", firstOutput_, 5.0)) << firstOutput_;
  EXPECT_TRUE(silent.closedByPeer(5.0)) << "a silent client is never timed out";
  EXPECT_TRUE(halfMessage.closedByPeer(5.0)) << "a half message is never timed out";

  kill(first->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*first, firstOutput_), 0) << firstOutput_;
  EXPECT_EQ(firstOutput_.find("Sanitizer"), std::string::npos) << firstOutput_;
}

TEST_F(InstanceTest, StartsOverTheSocketOfAKilledInstance) {
  auto killed = startTilvane();
  ASSERT_TRUE(killed && readUntil(*killed, "start App", firstOutput_)) << firstOutput_;
  kill(killed->pid(), SIGKILL);
  killed->wait(10.0);
  ASSERT_TRUE(std::filesystem::exists(ipc::instanceSocketPath()));

  auto next = startTilvane({kLayoutAll});
  ASSERT_TRUE(next && readUntil(*next, "start App", output_)) << output_;
  EXPECT_TRUE(readUntil(*next, "layout all", output_, 5.0)) << "its own URL is handled after the launch";
  EXPECT_EQ(laterStart({}), 0) << output_;
  EXPECT_TRUE(readUntil(*next, "reopen", output_, 5.0)) << output_;
}

TEST_F(InstanceTest, RefusesAnArgumentThatIsNotOurURL) {
  EXPECT_EQ(laterStart({"bogus"}), 2) << output_;
  EXPECT_NE(output_.find("tilvane: unexpected argument \"bogus\""), std::string::npos) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
