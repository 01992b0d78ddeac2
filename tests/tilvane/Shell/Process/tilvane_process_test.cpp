// The tilvane program as a user runs it: what it says when it cannot start, that each road out (SIGTERM,
// SIGINT, SIGHUP, the X server going away) ends it cleanly with the user's last move written and its instance
// files gone, that a window moving without end holds no other move back, and that a workspace restore leaves
// nothing for the sanitizers. Each run has an X test desktop of its own, so a test may take the server away.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>

#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/CGEvent.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/ipc/InstanceChannel.h"
#include "support/x11/KeyboardUser.h"
#include "platform/desktop/x11/DisplayIdentity.h"
#include "tilvane/Shell/Process/PrivateDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"
#include "platform/store/Database.h"
#include "support/TestEnvironment.h"
#include "support/windows/StoredRecord.h"
#include "support/x11/TestClient.h"
#include "support/x11/XProbe.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::uint8_t kBadAccess = 10;
constexpr const char* kBundle = "TilvaneRoadOut";  // the test window's class

class TilvaneProcessTest : public WorldTest {
 protected:
  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};  // the program's own Qt, on the X display
  std::string output_;
};

struct RoadOut {
  const char* name;
  int signal;  // 0: the X server goes away
  int exitCode;
  friend void PrintTo(const RoadOut& road, std::ostream* out) { *out << road.name; }
};

class RoadOutTest : public TilvaneProcessTest, public ::testing::WithParamInterface<RoadOut> {
 protected:
  /// A fixed layout of the whole screen on Control+Option+1, the test window's remembered placement, and no
  /// automatic layout: a window the program lays out ignores the user's moves for 2.5 s, which this test would
  /// have to wait out.
  static void setUpUser() {
    defaults::UserDefaults::standard().setInteger(UserDefaultsService::autoLayoutEnabledKey(), 0);
    StoreService::shared().configureRealm();
    {
      auto layout = std::make_shared<CustomLayoutModel>();
      layout->setType(1);
      layout->setKeyCode(kVK_ANSI_1);
      layout->setModifierFlags(kCGEventFlagMaskControl | kCGEventFlagMaskAlternate);
      const auto database = store::Database::open();
      database->write([&] { database->add(layout, store::UpdatePolicy::all); });
      storeAutoLayoutRecord({.bundle = kBundle, .fractions = CGRectMake(0, 0, 0.2, 0.3)});
    }
    SharedInstances::resetAll();  // the program has the database to itself
  }

  PrivateDesktop desktop_{tempDir() / "desktop"};
  ScopedEnv displayEnv_{"DISPLAY", desktop_.display()};
};

TEST_P(RoadOutTest, EndsCleanlyWithTheLastMoveWritten) {
  ASSERT_FALSE(desktop_.display().empty()) << "the test desktop did not start";
  setUpUser();
  auto client = TestClient::launch({"--class", "roadout,TilvaneRoadOut", "--title", "Road out"});
  ASSERT_TRUE(client);
  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, ", Road out", output_)) << output_;  // the window is admitted
  {
    KeyboardUser user(desktop_.display());
    EXPECT_EQ(user.grab(user.keycodeOf('1'), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1), kBadAccess)
        << "the layout's hot key is not the program's";
  }
  XProbe(desktop_.display()).moveResize(client->window(), {480, 264, 400, 300});
  ASSERT_TRUE(readUntil(*program, "window moved", output_)) << output_;

  // Well inside the 2.0 s in which the move waits to be written.
  if (GetParam().signal) {
    kill(program->pid(), GetParam().signal);
  } else {
    desktop_.killServer();
  }
  EXPECT_EQ(exitCode(*program, output_), GetParam().exitCode) << output_;
  EXPECT_EQ(output_.find("Sanitizer"), std::string::npos) << output_;
  EXPECT_EQ(output_.find("runtime error"), std::string::npos) << output_;
  const std::string instance = ipc::instanceName(tilvane::x11::displayIdentity(desktop_.display()));
  EXPECT_FALSE(std::filesystem::exists(ipc::instanceSocketPath(instance))) << "the socket is left behind";
  EXPECT_FALSE(std::filesystem::exists(ipc::instanceLockPath(instance))) << "the lock file is left behind";

  StoreService::shared().configureRealm();
  const auto stored = StoreService::shared().autoLayoutModels(store::Predicate::equals("bundleIdentifier", kBundle));
  ASSERT_TRUE(stored && stored->size() == 1u);
  EXPECT_DOUBLE_EQ(stored->front()->x(), 0.25) << output_;  // 480 of 1920
  EXPECT_DOUBLE_EQ(stored->front()->y(), 0.25) << output_;  // 264 of the 1056 above the tray
}

INSTANTIATE_TEST_SUITE_P(Roads, RoadOutTest,
                         ::testing::Values(RoadOut{"SIGTERM", SIGTERM, 0}, RoadOut{"SIGINT", SIGINT, 0},
                                           RoadOut{"SIGHUP", SIGHUP, 0}, RoadOut{"LostXServer", 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

class RestlessWindowTest : public TilvaneProcessTest {
 protected:
  /// The user's window's remembered x, as committed on disk; absent when not found.
  std::optional<double> storedX() {
    StoreService::shared().configureRealm();
    const auto stored = StoreService::shared().autoLayoutModels(store::Predicate::equals("bundleIdentifier", kBundle));
    SharedInstances::resetAll();
    if (!stored || stored->size() != 1u) return std::nullopt;
    return stored->front()->x();
  }
  PrivateDesktop desktop_{tempDir() / "desktop"};
  ScopedEnv displayEnv_{"DISPLAY", desktop_.display()};
};

// Another window that never stops moving (a program placing itself over and over) cannot hold the user's move
// back: it is committed within the longest wait, so a kill -9 right after keeps it.
TEST_F(RestlessWindowTest, TheUsersMoveIsOnDiskWhileAnotherWindowKeepsMovingAndSurvivesAKill) {
  ASSERT_FALSE(desktop_.display().empty()) << "the test desktop did not start";
  defaults::UserDefaults::standard().setInteger(UserDefaultsService::autoLayoutEnabledKey(), 0);
  StoreService::shared().configureRealm();
  storeAutoLayoutRecord({.bundle = kBundle, .fractions = CGRectMake(0, 0, 0.2, 0.3)});
  storeAutoLayoutRecord({.bundle = "TilvaneRestless", .fractions = CGRectMake(0.5, 0, 0.2, 0.3)});
  SharedInstances::resetAll();
  auto client = TestClient::launch({"--class", "roadout,TilvaneRoadOut", "--title", "Road out"});
  auto restless = TestClient::launch({"--class", "restless,TilvaneRestless", "--title", "Restless"});
  ASSERT_TRUE(client && restless);
  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, ", Road out", output_)) << output_;
  ASSERT_TRUE(readUntil(*program, ", Restless", output_)) << output_;
  XProbe probe(desktop_.display());
  probe.moveResize(client->window(), {480, 264, 400, 300});
  ASSERT_TRUE(readUntil(*program, "window moved", output_)) << output_;
  const auto moved = std::chrono::steady_clock::now();
  // Each move of the other window waits for the program to have seen the one before.
  std::optional<double> x;
  for (int i = 0; x != 0.25 && std::chrono::steady_clock::now() - moved < std::chrono::seconds(15); ++i) {
    probe.moveResize(restless->window(), {900 + (i % 2) * 40, 100, 300, 200});
    if (!readUntil(*program, "window moved", output_, 5.0)) break;
    x = storedX();
  }
  EXPECT_EQ(x, 0.25) << "the user's move was not written while the other window moved";
  kill(program->pid(), SIGKILL);
  program->wait(10.0);
  EXPECT_EQ(storedX(), 0.25);
}

class WorkspaceRestoreTest : public TilvaneProcessTest {
 protected:
  PrivateDesktop desktop_{tempDir() / "desktop"};
  ScopedEnv displayEnv_{"DISPLAY", desktop_.display()};
};

// The restore shows the on-screen message, a real Qt window on X: the sanitizer build must still end clean.
TEST_F(WorkspaceRestoreTest, AWorkspaceHandedOverIsRestoredAndTheProgramEndsClean) {
  ASSERT_FALSE(desktop_.display().empty()) << "the test desktop did not start";
  StoreService::shared().configureRealm();
  {
    auto item = std::make_shared<WorkspaceLayoutItemModel>();
    item->setBundleIdentifier(kBundle);
    item->setSpaceIndex(1);
    item->setWidth(0.5);
    item->setHeight(0.5);
    auto group = std::make_shared<WorkspaceLayoutGroupModel>();
    group->setId("ws1");
    group->setItems({item});
    const auto database = store::Database::open();
    database->write([&] { database->add(group, store::UpdatePolicy::all); });
  }
  SharedInstances::resetAll();
  auto client = TestClient::launch({"--class", "roadout,TilvaneRoadOut", "--title", "Road out"});
  ASSERT_TRUE(client);
  auto program = startTilvane();
  ASSERT_TRUE(program && readUntil(*program, ", Road out", output_)) << output_;

  auto handOver = startTilvane({"tilvane://space?id=ws1"});
  std::string handOverOutput;
  ASSERT_TRUE(handOver);
  EXPECT_EQ(exitCode(*handOver, handOverOutput, 10.0), 0) << handOverOutput;
  ASSERT_TRUE(readUntil(*program, "end operation", output_)) << output_;
  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output_), 0) << output_;
  EXPECT_EQ(output_.find("Sanitizer"), std::string::npos) << output_;
}

struct Refusal {
  const char* name;
  const char* display;  // null: unset
  const char* request;  // TILVANE_DESKTOP; null: unset
  const char* says;
  friend void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }
};

class RefusalTest : public TilvaneProcessTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, SaysWhatIsWrongAndExitsWithTwo) {
  const ScopedEnv displayEnv("DISPLAY", GetParam().display ? std::optional<std::string>(GetParam().display)
                                                          : std::nullopt);
  const ScopedEnv request("TILVANE_DESKTOP",
                          GetParam().request ? std::optional<std::string>(GetParam().request) : std::nullopt);
  auto program = startTilvane();
  ASSERT_TRUE(program);
  EXPECT_EQ(exitCode(*program, output_), 2) << output_;
  EXPECT_NE(output_.find(std::string("tilvane: ") + GetParam().says), std::string::npos) << output_;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(Refusal{"NoDisplay", nullptr, nullptr, "no X display: DISPLAY is not set"},
                      Refusal{"NoServer", ":65000", nullptr, "cannot open X display \":65000\""},
                      Refusal{"UnknownDesktop", ":65000", "wayland", "unknown desktop \"wayland\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tilvane::test::x11
