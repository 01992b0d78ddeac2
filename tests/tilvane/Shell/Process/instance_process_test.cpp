// One instance per user: a later start hands its URL (or a reopen) to the running program and exits, or says why
// it could not and exits 1; however starts race, stop or find the socket's path taken, there is never a second
// instance; a socket left by a killed instance does not stop the next start; no client can stop the running one
// from answering; and a runtime folder others can enter is not used.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <fstream>

#include "platform/ipc/InstanceChannel.h"
#include "support/AsNobody.h"
#include "support/ListeningSocket.h"
#include "support/TestEnvironment.h"
#include "tilvane/Shell/Process/PrivateDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLayoutAll = "tilvane://action?target=layoutall";
// The instance of the simulated desktop, which these tests start.
fs::path simSocket() { return ipc::instanceSocketPath(ipc::instanceName("sim")); }
fs::path simLock() { return ipc::instanceLockPath(ipc::instanceName("sim")); }

constexpr const char* kNotTaken = "was not handed over: the running instance did not take it within 5 s";

/// A client of the running instance's socket that sends what a test says and holds the connection open.
class RawClient {
 public:
  explicit RawClient(const std::string& bytes) : fd_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, simSocket().c_str(), sizeof address.sun_path - 1);
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
  /// Runs a later start to its end; its exit code, -1 when it took longer than `seconds` (generous: a start under
  /// a sanitizer on a busy machine takes seconds before it prints a word).
  int laterStart(const std::vector<std::string>& args, double seconds = 30.0) {
    auto program = startTilvane(args);
    return program ? exitCode(*program, output_, seconds) : -1;
  }
  /// The first start, once its launch is done.
  std::unique_ptr<ChildProcess> firstInstance() {
    auto first = startTilvane();
    return first && readUntil(*first, "start App", firstOutput_) ? std::move(first) : nullptr;
  }
  /// Ends the instance the way the session does; its exit code.
  int stop(ChildProcess& instance) {
    kill(instance.pid(), SIGTERM);
    return exitCode(instance, firstOutput_);
  }

  ScopedEnv desktop_{"TILVANE_DESKTOP", "sim"};
  std::string output_;
  std::string firstOutput_;
};

TEST_F(InstanceTest, LaterStartsHandTheirURLOrAReopenToTheRunningOne) {
  auto first = firstInstance();
  ASSERT_TRUE(first) << firstOutput_;
  struct stat socket {}, lock {};
  ASSERT_EQ(lstat(simSocket().c_str(), &socket), 0);
  EXPECT_TRUE(S_ISSOCK(socket.st_mode));
  EXPECT_EQ(socket.st_mode & 077, 0u) << "others may connect";
  ASSERT_EQ(lstat(simLock().c_str(), &lock), 0);
  EXPECT_EQ(lock.st_mode & 0777, 0600u);

  EXPECT_EQ(laterStart({kLayoutAll}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "layout all", firstOutput_, 5.0)) << firstOutput_;
  EXPECT_EQ(laterStart({"TILVANE://action?target=layoutall"}), 0) << output_;  // a scheme has no case
  EXPECT_TRUE(readUntil(*first, "layout all", firstOutput_, 5.0)) << firstOutput_;
  EXPECT_EQ(laterStart({}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "reopen", firstOutput_, 5.0)) << firstOutput_;
  EXPECT_EQ(laterStart({std::string(kLayoutAll) + "&" + std::string(8 * 1024, 'x')}), 2) << output_;
  EXPECT_NE(output_.find("more than the 8192 accepted; nothing was done"), std::string::npos) << output_;

  const auto opened = std::chrono::steady_clock::now();
  const RawClient garbage("\x01\xff garbage\n");
  const RawClient silent("");
  const RawClient halfMessage("tilvane://action?tar");
  const RawClient oversized(std::string(9 * 1024, 'a'));
  ASSERT_TRUE(garbage.connected() && silent.connected() && halfMessage.connected() && oversized.connected());
  EXPECT_TRUE(oversized.closedByPeer(1.0)) << "an oversized message is kept until the time-out";
  EXPECT_EQ(laterStart({kLayoutAll}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "layout all", firstOutput_, 5.0)) << firstOutput_;
  const double left = 3.0 - std::chrono::duration<double>(std::chrono::steady_clock::now() - opened).count();
  EXPECT_TRUE(silent.closedByPeer(std::max(left, 0.0))) << "a silent client is not closed within 3 s";
  EXPECT_TRUE(halfMessage.closedByPeer(0.5)) << "a half message is not closed within 3 s";

  EXPECT_EQ(stop(*first), 0) << firstOutput_;
  EXPECT_EQ(firstOutput_.find("Sanitizer"), std::string::npos) << firstOutput_;
}

// The folder and socket are the user's alone; were they opened to others, the peer check still drops them.
TEST_F(InstanceTest, APeerOfAnotherUserIsDropped) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can connect as another user";
  auto first = firstInstance();
  ASSERT_TRUE(first) << firstOutput_;
  const fs::path socket = simSocket();
  ASSERT_EQ(chmod(tempDir().c_str(), 0711) | chmod(socket.parent_path().c_str(), 0711) | chmod(socket.c_str(), 0666), 0);
  fs::create_directories(tempDir() / "nobody");
  const int code = runAsNobody(tempDir() / "nobody", [&] {
    std::string error;
    if (ipc::sendToRunningInstance(socket, kLayoutAll, 3.0, error)) return 1;
    if (error == "it closed the connection without taking the message") return 0;
    std::fprintf(stderr, "the hand-over as nobody ended with: %s\n", error.c_str());  // for the failure report
    return 2;
  });
  chmod(socket.parent_path().c_str(), 0700);
  EXPECT_EQ(code, 0) << "1: the message was taken, 2: it was not dropped at once";

  EXPECT_EQ(laterStart({}), 0) << output_;
  std::string after;
  EXPECT_TRUE(readUntil(*first, "reopen", after, 5.0)) << after;
  EXPECT_EQ(after.find("layout all"), std::string::npos) << after;
  EXPECT_EQ(stop(*first), 0) << firstOutput_;
}

// Two starts at the same moment: one is the instance, the other hands over or says it could not.
TEST_F(InstanceTest, SimultaneousStartsMakeOneInstance) {
  constexpr int kPairs = 5;
  for (int pair = 0; pair < kPairs; ++pair) {
    SCOPED_TRACE("pair " + std::to_string(pair));
    std::unique_ptr<ChildProcess> starts[2] = {startTilvane(), startTilvane()};
    ASSERT_TRUE(starts[0] && starts[1]);
    int ended = -1, status = -1;
    for (int turn = 0; turn < 300 && ended < 0; ++turn) {
      if ((status = starts[turn % 2]->wait(0.05)) != -1) ended = turn % 2;
    }
    ASSERT_GE(ended, 0) << "both kept running";
    ChildProcess& instance = *starts[1 - ended];
    std::string endedOutput;
    readUntil(*starts[ended], "", endedOutput, 1.0);
    ASSERT_TRUE(WIFEXITED(status)) << endedOutput;
    firstOutput_.clear();
    ASSERT_TRUE(readUntil(instance, "start App", firstOutput_, 10.0)) << firstOutput_;
    if (WEXITSTATUS(status) == 0) {
      EXPECT_TRUE(readUntil(instance, "reopen", firstOutput_, 5.0)) << firstOutput_;
    } else {
      EXPECT_EQ(WEXITSTATUS(status), 1) << endedOutput;
      EXPECT_NE(endedOutput.find("tilvane: the reopen request was not handed over"), std::string::npos) << endedOutput;
    }
    EXPECT_EQ(stop(instance), 0) << firstOutput_;
  }
}

// A stopped instance answers no one: every start waiting on it gives up, says so on stderr and exits 1, none
// becomes a second instance, and what they sent is not acted on once the instance goes on.
TEST_F(InstanceTest, StartsQueuedOnAStoppedInstanceGiveUpAndAreNotActedOnLater) {
  constexpr int kQueued = 20;
  auto first = firstInstance();
  ASSERT_TRUE(first) << firstOutput_;
  kill(first->pid(), SIGSTOP);
  std::vector<std::unique_ptr<ChildProcess>> starts;
  for (int i = 0; i < kQueued; ++i) starts.push_back(startTilvaneErrorsOnly({kLayoutAll}));
  for (auto& start : starts) {
    std::string errors;
    ASSERT_TRUE(start);
    EXPECT_EQ(exitCode(*start, errors, 15.0), 1) << errors;
    EXPECT_NE(errors.find(std::string("tilvane: \"") + kLayoutAll + "\" " + kNotTaken), std::string::npos) << errors;
  }
  kill(first->pid(), SIGCONT);

  EXPECT_EQ(laterStart({}), 0) << output_;
  std::string after;
  EXPECT_TRUE(readUntil(*first, "reopen", after, 5.0)) << after;
  EXPECT_EQ(after.find("layout all"), std::string::npos) << "a start that gave up was acted on:\n" << after;
  EXPECT_EQ(stop(*first), 0) << firstOutput_;
}

// Whatever lies at the socket's path is the lock holder's to replace; while an instance holds the lock, a path
// it cannot be reached at leaves later starts to say so, never to start another.
TEST_F(InstanceTest, AFileAtTheSocketPathNeverMakesASecondInstance) {
  const fs::path socket = simSocket();
  std::ofstream(socket) << "in the way";
  auto first = firstInstance();
  ASSERT_TRUE(first) << firstOutput_;
  EXPECT_EQ(laterStart({}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "reopen", firstOutput_, 5.0)) << firstOutput_;

  fs::remove(socket);
  std::ofstream(socket) << "in the way";
  EXPECT_EQ(laterStart({kLayoutAll}, 10.0), 1) << output_;
  EXPECT_NE(output_.find(kNotTaken), std::string::npos) << output_;
  EXPECT_EQ(output_.find("start App"), std::string::npos) << output_;
  EXPECT_EQ(stop(*first), 0) << firstOutput_;
}

// A runtime folder others can enter is passed over, named in the log, and never looked into: a listener there
// gets nothing.
TEST_F(InstanceTest, AnOpenRuntimeFolderIsNotUsed) {
  const fs::path temporary = tempDir() / "tmp";
  const fs::path open = tempDir() / "open";
  fs::create_directories(temporary);
  fs::create_directories(open);
  fs::permissions(open, fs::perms::all | fs::perms::sticky_bit);
  const ScopedEnv tmp("TMPDIR", temporary.string());
  const ScopedEnv runtime("XDG_RUNTIME_DIR", open.string());
  const ListeningSocket stranger(ipc::instanceSocketIn(open, ipc::instanceName("sim")));
  ASSERT_TRUE(stranger.listening());

  auto program = startTilvane({"tilvane://space?id=ws1"});
  ASSERT_TRUE(program && readUntil(*program, "is not a private folder", firstOutput_)) << firstOutput_;
  const fs::path fallback = temporary / ("tilvane-" + std::to_string(getuid()));
  // Appended piece by piece: g++ 12 warns falsely on "x" + std::string temporaries.
  std::string warning = "\"";
  warning.append(open.string()).append("\" is not a private folder of this user (mode 1777, not 0700): using ");
  warning.append(fallback.string());
  EXPECT_NE(firstOutput_.find(warning), std::string::npos) << firstOutput_;
  EXPECT_TRUE(fs::exists(ipc::instanceSocketIn(fallback, ipc::instanceName("sim"))));
  EXPECT_FALSE(stranger.pending()) << "the URL went to the stranger's socket";
  EXPECT_EQ(stop(*program), 0) << firstOutput_;
}

TEST_F(InstanceTest, StartsOverTheSocketOfAKilledInstance) {
  auto killed = startTilvane();
  ASSERT_TRUE(killed && readUntil(*killed, "start App", firstOutput_)) << firstOutput_;
  kill(killed->pid(), SIGKILL);
  killed->wait(10.0);
  ASSERT_TRUE(std::filesystem::exists(simSocket()));

  auto next = startTilvane({kLayoutAll});
  ASSERT_TRUE(next && readUntil(*next, "start App", output_)) << output_;
  EXPECT_TRUE(readUntil(*next, "layout all", output_, 5.0)) << "its own URL is handled after the launch";
  EXPECT_EQ(laterStart({}), 0) << output_;
  EXPECT_TRUE(readUntil(*next, "reopen", output_, 5.0)) << output_;
}

// On X11 one instance serves one display: a start on another display is an instance of its own, and a later
// start on a display hands over to that display's instance, however the display is written.
TEST_F(InstanceTest, EachDisplayHasItsOwnInstance) {
  const ScopedEnv x11("TILVANE_DESKTOP", "x11");
  const ScopedEnv qtPlatform("QT_QPA_PLATFORM", std::nullopt);
  const PrivateDesktop one(tempDir() / "one"), two(tempDir() / "two");
  ASSERT_FALSE(one.display().empty() || two.display().empty()) << "a test desktop did not start";
  std::string twoOutput;
  std::unique_ptr<ChildProcess> first, second;
  {
    const ScopedEnv display("DISPLAY", one.display());
    first = firstInstance();
    ASSERT_TRUE(first) << firstOutput_;
  }
  {
    const ScopedEnv display("DISPLAY", two.display());
    second = startTilvane();
    ASSERT_TRUE(second && readUntil(*second, "start App", twoOutput)) << twoOutput;
  }
  {
    const ScopedEnv display("DISPLAY", one.display() + ".0");
    EXPECT_EQ(laterStart({kLayoutAll}), 0) << output_;
    EXPECT_TRUE(readUntil(*first, "layout all", firstOutput_, 5.0)) << firstOutput_;
  }
  EXPECT_EQ(twoOutput.find("layout all"), std::string::npos);
  EXPECT_EQ(stop(*first), 0) << firstOutput_;
  kill(second->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*second, twoOutput), 0) << twoOutput;
}

// A script, cron or an ssh shell has no DISPLAY: its link goes to the user's one instance, whatever it serves; with
// none or several running it says why it has nowhere to go.
TEST_F(InstanceTest, ALinkFromAStartWithoutADisplayGoesToTheOneInstanceRunning) {
  auto first = firstInstance();
  ASSERT_TRUE(first) << firstOutput_;
  const ScopedEnv noDisplay("DISPLAY", std::nullopt), desktopUnset("TILVANE_DESKTOP", std::nullopt);
  EXPECT_EQ(laterStart({kLayoutAll}), 0) << output_;
  EXPECT_TRUE(readUntil(*first, "layout all", firstOutput_, 5.0)) << firstOutput_;
  std::string error;
  auto other = ipc::InstanceLock::tryTake(ipc::instanceLockPath(ipc::instanceName(":7")), error);
  EXPECT_EQ(laterStart({kLayoutAll}), 1) << output_;
  EXPECT_NE(output_.find("2 instances of Tilvane run (:7, sim); set DISPLAY"), std::string::npos) << output_;
  EXPECT_EQ(stop(*first), 0) << firstOutput_;
  other.reset();
  EXPECT_EQ(laterStart({kLayoutAll}), 1) << output_;
  EXPECT_NE(output_.find("was not handed over: no instance of Tilvane runs"), std::string::npos) << output_;
}

TEST_F(InstanceTest, RefusesAnArgumentThatIsNotOurURL) {
  EXPECT_EQ(laterStart({"bogus"}), 2) << output_;
  EXPECT_NE(output_.find("tilvane: unexpected argument \"bogus\""), std::string::npos) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
