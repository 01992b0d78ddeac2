// One instance per user: the holder of the lock is the instance; every other start hands its message over and
// learns whether the instance took it. Here the instance's end of the socket is played by the test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/ipc/InstanceChannel.h"
#include "platform/ipc/InstanceLock.h"
#include "support/ListeningSocket.h"
#include "support/TestEnvironment.h"

namespace tilvane::ipc {
namespace {

namespace fs = std::filesystem;

constexpr double kShortPatience = 0.3;

using Listener = test::ListeningSocket;

class InstanceChannelTest : public ::testing::Test {
 protected:
  fs::path folder() const { return temp_.path(); }
  test::ScopedTempDir temp_;
};

TEST_F(InstanceChannelTest, TheLockHasOneHolderAtATimeAndItsFileGoesWithIt) {
  std::string error;
  auto first = InstanceLock::tryTake(instanceLockIn(folder()), error);
  ASSERT_TRUE(first) << error;
  struct stat info {};
  ASSERT_EQ(stat(instanceLockIn(folder()).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  // flock belongs to the open file, so a second taker in this process is refused like another process.
  EXPECT_FALSE(InstanceLock::tryTake(instanceLockIn(folder()), error));
  EXPECT_EQ(error, "") << "a held lock is no failure";
  first.reset();
  EXPECT_FALSE(fs::exists(instanceLockIn(folder())));
  EXPECT_TRUE(InstanceLock::tryTake(instanceLockIn(folder()), error));

  EXPECT_FALSE(InstanceLock::tryTake(folder() / "missing" / "tilvane.lock", error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

TEST_F(InstanceChannelTest, AStartTakesAFreeLockElseHandsItsMessageToTheHolder) {
  auto claim = claimInstance(folder(), "reopen", kShortPatience);
  ASSERT_TRUE(claim.lock) << claim.error;
  EXPECT_FALSE(claim.delivered);

  const Listener instance(instanceSocketIn(folder()));
  ASSERT_TRUE(instance.listening());
  std::string message;
  bool replied = false;
  std::thread serving([&] { replied = instance.serveOne(message, kTakenReply); });
  const auto later = claimInstance(folder(), "tilvane://action?target=toggle", kShortPatience);
  serving.join();
  EXPECT_TRUE(later.delivered) << later.error;
  EXPECT_FALSE(later.lock);
  EXPECT_EQ(message, "tilvane://action?target=toggle");
  EXPECT_TRUE(replied);
}

TEST_F(InstanceChannelTest, AHolderThatDoesNotTakeTheMessageInTimeLosesItAndTheStartSaysWhy) {
  std::string error;
  const auto held = InstanceLock::tryTake(instanceLockIn(folder()), error);
  ASSERT_TRUE(held);

  // No socket yet (the holder is starting), then one nobody listens on (the holder is gone or ending).
  auto claim = claimInstance(folder(), "reopen", kShortPatience);
  EXPECT_FALSE(claim.lock || claim.delivered);
  EXPECT_NE(claim.error.find("the running instance did not take it within 0.3 s (last try: it has no socket yet)"),
            std::string::npos)
      << claim.error;
  std::ofstream(instanceSocketIn(folder())) << "not a socket";
  claim = claimInstance(folder(), "reopen", kShortPatience);
  EXPECT_FALSE(claim.lock || claim.delivered);
  EXPECT_NE(claim.error.find("last try: it does not listen on its socket"), std::string::npos) << claim.error;
  fs::remove(instanceSocketIn(folder()));

  // A stopped holder: the connection waits in its queue, and the message is withdrawn when the time is up.
  const Listener stopped(instanceSocketIn(folder()));
  ASSERT_TRUE(stopped.listening());
  claim = claimInstance(folder(), "tilvane://action?target=layoutall", kShortPatience);
  EXPECT_FALSE(claim.lock || claim.delivered);
  EXPECT_NE(claim.error.find("last try: it did not answer"), std::string::npos) << claim.error;
  std::string message;
  EXPECT_FALSE(stopped.serveOne(message, kTakenReply)) << "the instance could still act on it";
  EXPECT_EQ(message, "tilvane://action?target=layoutall");

  // An answer that is not the reply is no delivery.
  std::thread serving([&] { stopped.serveOne(message, "no\n"); });
  EXPECT_FALSE(sendToRunningInstance(instanceSocketIn(folder()), "reopen", kShortPatience, error));
  serving.join();
  EXPECT_EQ(error, "it gave an answer this program does not know");
}

TEST(InstanceNameTest, ADesktopNamesItsInstanceAndCannotLeadOutOfTheFolder) {
  EXPECT_EQ(instanceName(""), "tilvane");
  EXPECT_EQ(instanceName(":1"), "tilvane-:1");
  EXPECT_EQ(instanceName("host.example:0"), "tilvane-host.example:0");
  EXPECT_EQ(instanceName("../x/y z"), "tilvane-.._x_y_z");
  EXPECT_EQ(instanceSocketIn("/run/u", instanceName(":1")), "/run/u/tilvane-:1.socket");
  std::string error;
  const auto lock = InstanceLock::tryTake(instanceLockIn(testing::TempDir(), instanceName("host.example:0")), error);
  ASSERT_TRUE(lock) << error;
  EXPECT_EQ(lock->socket(), instanceSocketIn(testing::TempDir(), instanceName("host.example:0")));
}

TEST_F(InstanceChannelTest, AMessageOverTheLimitIsNeverSent) {
  const Listener instance(instanceSocketIn(folder()));
  std::string error;
  EXPECT_FALSE(sendToRunningInstance(instanceSocketIn(folder()), std::string(kMaxMessage + 1, 'a'), 1.0, error));
  EXPECT_EQ(error, "the message is longer than it may be");
  EXPECT_FALSE(instance.pending()) << "a connection was made";
  EXPECT_FALSE(sendToRunningInstance(folder() / std::string(200, 'x'), "reopen", 1.0, error));
  EXPECT_NE(error.find("no usable socket path"), std::string::npos);
}

}  // namespace
}  // namespace tilvane::ipc
