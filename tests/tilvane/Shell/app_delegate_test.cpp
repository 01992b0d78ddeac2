// The launch sequence and the end of the program as the program runs them, on the simulated desktop and the
// virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "AppManager/Bridges/Bridges.h"
#include "Shell/AppDelegate.h"
#include "Shell/MainController.h"
#include "Preferences/PreferencesViewController.h"
#include "Preferences/GeneralPreferencesViewController.h"
#include "Shell/MenuBar/MenuBarController.h"
#include "Shell/MenuBar/StatusItem.h"
#include "Shell/SettingsNotices.h"
#include "Shell/Shutdown.h"
#include "AppManager/Settings/Constants.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Shortcuts/ShortcutsManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/CGEvent.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/hotkeys/MASShortcutMonitor.h"
#include "platform/hotkeys/ShortcutDefaults.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/l10n/Localization.h"
#include "platform/store/Database.h"
#include "UI/HUD/VkHUD.h"
#include "platform/store/RawSql.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/Shell/RecordingUpdater.h"
#include "tilvane/LandingWindow/FakeLandingView.h"

namespace tilvane::test {
namespace {

struct RecordingServices final : RecordingUpdater, LandingWindows, AnnouncementRequester {
  std::unique_ptr<LandingWindowView> makeView() override {
    calls.push_back("landing");
    return std::make_unique<FakeLandingView>(landing);
  }
  void requestAfter(double seconds) override { calls.push_back("announcement after " + std::to_string(seconds)); }
  FakeLandingState landing;
  int terminations = 0;
  int relaunches = 0;
};

class AppDelegateTest : public WindowWorld {
 protected:
  /// The log's lines among `wanted`, in the order they were written.
  std::vector<std::string> linesAmong(const std::vector<std::string>& wanted) {
    std::vector<std::string> found;
    for (const std::string& line : log.lines())
      for (const std::string& step : wanted)
        if (line == "\u2139\uFE0F " + step) found.push_back(step);
    return found;
  }

  /// Launches with a custom layout on a hot key and one window laid out at its stored right half, then lets
  /// the user move the window to the left half: a move still inside its 2.0 s quiet period.
  void launchWithPendingMove() {
    StoreService::shared().configureRealm();
    auto layout = std::make_shared<CustomLayoutModel>();
    layout->setType(1);  // fixed, on the whole 4 x 4 grid
    layout->setKeyCode(kVK_ANSI_1);
    layout->setModifierFlags(kCGEventFlagMaskControl | kCGEventFlagMaskAlternate);
    const auto database = store::Database::open();
    database->write([&] { database->add(layout, store::UpdatePolicy::all); });
    storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
    const pid_t pid = apps().addApplication(
        {.bundleIdentifier = "org.example.Editor", .windows = {{.title = "A", .frame = CGRectMake(10, 40, 400, 300)}}});

    delegate_.applicationDidFinishLaunching();
    advance(1.0);  // running applications' windows are admitted after 1.0 s
    drain();
    const AXUIElement window = apps().windowsOf(pid).front();
    EXPECT_EQ(frameOf(window), CGRectMake(720, 23, 720, 877));
    advance(3.0);  // past the 2.5 s in which the program's own move is not recorded
    ASSERT_TRUE(apps().userMoveWindow(window, CGRectMake(0, 23, 720, 877)));
    drain();
    advance(1.0);
  }

  void expectMoveWritten() {
    StoreService::shared().configureRealm();  // an ended program leaves the store unconfigured
    const auto stored = records();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_DOUBLE_EQ(stored[0]->x(), 0.0);
    EXPECT_DOUBLE_EQ(stored[0]->width(), 0.5);
  }

  /// Lets `seconds` pass as the real loop would, with the system's file notifications delivered as they come.
  void advanceWithFiles(double seconds) {
    constexpr double kStep = 0.05;
    for (double left = seconds; left > 1e-9; left -= kStep) {
      loop().notifyReadableWatched();
      advance(std::min(kStep, left));
    }
    loop().notifyReadableWatched();
    drain();
  }
  /// The copies of damaged settings beside the file.
  static std::vector<std::filesystem::path> damagedCopies() {
    std::vector<std::filesystem::path> copies;
    std::error_code ec;
    const auto folder = defaults::UserDefaults::defaultFilePath().parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      if (entry.path().filename().string().rfind("defaults.plist.damaged-", 0) == 0) copies.push_back(entry.path());
    return copies;
  }
  static void writeSettings(const std::string& bytes) {
    const auto file = defaults::UserDefaults::defaultFilePath();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }

  sim::SimHotKeys hotKeys_;
  HotKeyServer::Scope hotKeyScope_{hotKeys_};
  RecordingServices services_;
  AppDelegate delegate_{{services_, services_, services_, [this] { ++services_.terminations; },
                         [this] { ++services_.relaunches; }}};
};

const std::vector<std::string> kTrustedLines = {"main controllers setup", "menubar setup", "preference setup",
                                                "advance setup", "main contorller rx setup",
                                                "main notification setup"};

TEST_F(AppDelegateTest, UntrustedLaunchSetsUpEveryManagerAndShowsOnlyTheLanding) {
  sim().setCanMoveWindows(false);
  delegate_.applicationDidFinishLaunching();
  const std::vector<std::string> expected = {
      "setup DevMate", "setup App", "setup Data", "setup Manager", "UpdateManager setup", "AppManager setup",
      "ScreenManager setup", "setupFirstRun", "LayoutManager setup", "WindowManager setup",
      "ApplicationManager setup", "ShortcutsManager setup", "AnalyticsManager setup", "setup Controller",
      "init main controller", "main controller setup", "check trusted", "start App"};
  EXPECT_EQ(linesAmong(expected), expected);
  EXPECT_EQ(log.lines().back(), "\u2139\uFE0F start App");
  EXPECT_TRUE(linesAmong(kTrustedLines).empty());
  EXPECT_EQ(delegate_.mainController()->menuBarViewController(), nullptr);
  EXPECT_EQ(services_.calls, (std::vector<std::string>{"report", "issues on",
                                                       "feed " + Constants::Url::updateFeed(), "landing"}));
  // The first ping follows the launch, never inside it.
  EXPECT_TRUE(linesAmong({"analytics ping"}).empty());
  drain();
  EXPECT_EQ(linesAmong({"analytics ping"}).size(), 1u);

  AppBridge::quit().onNext();  // nothing is bound before the trusted set-up
  EXPECT_EQ(services_.terminations, 0);
}

TEST_F(AppDelegateTest, LandingWalksToTrustRecordsItAndRelaunches) {
  sim().setCanMoveWindows(false);
  delegate_.applicationDidFinishLaunching();
  FakeLandingState& landing = services_.landing;
  EXPECT_EQ(landing.title, NSLocalizedString("TilvaneGuide"));
  EXPECT_EQ(landing.next, NSLocalizedString("LetStart"));
  landing.pressNext();
  landing.finishSlide();
  EXPECT_EQ(landing.next, NSLocalizedString("OpenSettings"));
  landing.pressNext();  // the check step: the desktop has no prompt, so the page says what it lacks
  EXPECT_EQ(landing.next, NSLocalizedString("Complete"));
  EXPECT_EQ(landing.note, sim().trustProblem());

  landing.pressNext();  // still untrusted
  EXPECT_EQ(landing.alerts, std::vector<std::string>{"Accessibility disabled|Please enable Accessibility|OK"});
  EXPECT_FALSE(defaults::UserDefaults::standard().objectForKey(UserDefaultsService::enabledKey()));
  EXPECT_EQ(delegate_.mainController()->landing()->index(), -1);

  // A second start meanwhile brings the open window forward; it never makes a second one.
  EXPECT_TRUE(delegate_.applicationShouldHandleReopen());
  EXPECT_EQ(landing.raises, 1);
  EXPECT_EQ(std::count(services_.calls.begin(), services_.calls.end(), "landing"), 1);

  // A window manager starts: within a second the page says so instead of what was missing.
  sim().setCanMoveWindows(true);
  advance(0.9);
  EXPECT_EQ(landing.note, sim().trustProblem());
  advance(0.2);
  EXPECT_EQ(landing.note, NSLocalizedString("TrustedNow"));
  landing.pressNext();
  EXPECT_EQ(defaults::UserDefaults::standard().integerForKey(UserDefaultsService::enabledKey()), 1);
  EXPECT_DOUBLE_EQ(landing.stripX, -1200);
  EXPECT_EQ(landing.note, "");
  landing.finishSlide();
  EXPECT_EQ(landing.next, NSLocalizedString("OK"));
  landing.pressNext();
  EXPECT_EQ(services_.relaunches, 1);
  EXPECT_EQ(services_.terminations, 0);
  EXPECT_TRUE(linesAmong(kTrustedLines).empty()) << "the trusted set-up belongs to the new process";
}

TEST_F(AppDelegateTest, ClosingTheLandingEndsTheProgramUntrustedAndRelaunchesItTrusted) {
  sim().setCanMoveWindows(false);
  delegate_.applicationDidFinishLaunching();
  services_.landing.closeBox();
  EXPECT_EQ(services_.terminations, 1);
  EXPECT_EQ(services_.relaunches, 0);

  EXPECT_TRUE(delegate_.applicationShouldHandleReopen());  // closed: a new window
  EXPECT_EQ(std::count(services_.calls.begin(), services_.calls.end(), "landing"), 2);
  sim().setCanMoveWindows(true);
  services_.landing.closeBox();  // granted, but the user closed the window instead of pressing on
  EXPECT_EQ(services_.relaunches, 1);
  EXPECT_EQ(defaults::UserDefaults::standard().integerForKey(UserDefaultsService::enabledKey()), 1);
  EXPECT_EQ(services_.terminations, 1);
}

TEST_F(AppDelegateTest, TrustedLaunchMakesTheControllersAndAsksForTheAnnouncementOnce) {
  delegate_.applicationDidFinishLaunching();
  EXPECT_EQ(linesAmong(kTrustedLines), kTrustedLines);
  const MainController& main = *delegate_.mainController();
  EXPECT_TRUE(main.menuBarViewController() && main.preferencesViewController() && main.advancedViewController());
  EXPECT_EQ(services_.calls.back(), "announcement after 10.000000");
  EXPECT_EQ(std::count(services_.calls.begin(), services_.calls.end(), "landing"), 0);

  AppBridge::checkForUpdates().onNext();
  EXPECT_EQ(services_.calls.back(), "check");
  AppBridge::quit().onNext();
  EXPECT_EQ(services_.terminations, 1);
}

// What the managers' steps leave running, whether or not the process is trusted.
TEST_F(AppDelegateTest, LaunchLeavesTheDisplaySetNamedTheObserversInstalledAndThePingRepeating) {
  launchWithPendingMove();  // the layout's hot key and a window of a running application
  const ScreenManager& screens = ScreenManager::shared();
  EXPECT_FALSE(screens.displayIdentifier().empty());
  EXPECT_EQ(screens.displayIdentifier(), screens.makeDisplayIdentifier());

  // The hot key registered at launch fires.
  const AXUIElement window = apps().windowsOf(apps().runningApplications().front().processIdentifier).front();
  apps().focusWindow(window);
  ASSERT_TRUE(hotKeys_.press(kVK_ANSI_1, kCGEventFlagMaskControl | kCGEventFlagMaskAlternate));
  drain();
  EXPECT_EQ(frameOf(window), CGRectMake(0, 23, 1440, 877));

  // Display and application changes are followed.
  sim().connectDisplay({.frame = CGRectMake(1440, 0, 1280, 800)});
  const pid_t launched = apps().launchApplication({.bundleIdentifier = "org.example.Mail"});
  advance(5.0);
  EXPECT_EQ(screens.screens().size(), 2u);
  EXPECT_TRUE(ApplicationManager::shared().findApplication(launched).has_value());

  // One ping after the launch (passed above), the next 7200 s after the timer was set.
  EXPECT_EQ(logLines("analytics ping").size(), 1u);
  advance(7200.0 - 10.0 - 0.5);
  EXPECT_EQ(logLines("analytics ping").size(), 1u);
  advance(1.0);
  EXPECT_EQ(logLines("analytics ping").size(), 2u);
}

TEST_F(AppDelegateTest, ReopenWhileTrustedOpensThePreferencesOnlyWhenTheIconIsHidden) {
  delegate_.applicationDidFinishLaunching();
  std::vector<int> opened;
  rx::DisposeBag bag;
  AppBridge::openPreferences().subscribe([&](int pane) { opened.push_back(pane); }).disposed(bag);
  EXPECT_TRUE(delegate_.applicationShouldHandleReopen());
  EXPECT_TRUE(opened.empty());
  UserDefaultsService::setHideInMenuBar(2);
  EXPECT_TRUE(delegate_.applicationShouldHandleReopen());
  EXPECT_TRUE(opened.empty()) << "only 1 hides the icon";
  UserDefaultsService::setHideInMenuBar(1);
  EXPECT_TRUE(delegate_.applicationShouldHandleReopen());
  EXPECT_EQ(opened, std::vector<int>{0});
}

TEST_F(AppDelegateTest, ReopenWhileTrustedOpensThePreferencesWhenNoTrayCanShowTheIcon) {
  struct NoTray final : StatusItemView {
    void setImage(const std::string&, bool) override {}
    void setVisible(bool) override {}
    void setMenu(const Menu&) override {}
    bool isSystemTrayAvailable() const override { return false; }
  };
  StatusBar::systemStatusBar().setViewFactory([] { return std::make_unique<NoTray>(); });
  delegate_.applicationDidFinishLaunching();
  std::vector<int> opened;
  rx::DisposeBag bag;
  AppBridge::openPreferences().subscribe([&](int pane) { opened.push_back(pane); }).disposed(bag);
  EXPECT_TRUE(delegate_.applicationShouldHandleReopen());
  EXPECT_EQ(opened, std::vector<int>{0});
}

TEST_F(AppDelegateTest, ShutdownWritesThePendingMoveAndEndsEveryManagerWhileTheLoopAndKeysAreThere) {
  launchWithPendingMove();
  ASSERT_EQ(hotKeys_.grabbed().size(), 1u);

  Shutdown(delegate_).run();
  expectMoveWritten();
  EXPECT_FALSE(SharedInstance<LayoutManager>::exists());
  EXPECT_FALSE(SharedInstance<ShortcutsManager>::exists());
  EXPECT_TRUE(hotKeys_.grabbed().empty());  // let go on the live server
  // What is still queued finds its owner gone and does nothing (the sanitizer build sees a use after free).
  const auto lines = log.lines().size();
  loop().advance(60);
  EXPECT_EQ(log.lines().size(), lines);
}

TEST_F(AppDelegateTest, AnExitFromInsideTheLoopStillWritesThePendingMove) {
  launchWithPendingMove();
  // Qt ends the process with exit(1) when its X connection breaks, from inside the running loop.
  // The composition root's first and last steps (the instance socket and lock) run on this road too.
  const std::filesystem::path marks = tempDir() / "steps";
  const auto mark = [&](const char* step) { std::ofstream(marks, std::ios::app) << step << ' '; };
  EXPECT_EXIT(
      {
        Shutdown shutdown(delegate_, [&] { mark("first"); }, [&] { mark("last"); });
        shutdown.coverExit();
        std::exit(1);
      },
      ::testing::ExitedWithCode(1), "");
  expectMoveWritten();
  EXPECT_EQ(readFile(marks), "first last ");
}


// A store the program cannot use is seen on the screen, not only in the log.
TEST_F(AppDelegateTest, AStoreThatCannotBeUsedIsShownOnTheMessageWindowOnce) {
  const auto file = store::Configuration::defaultFileURL();
  std::filesystem::create_directories(file.parent_path());
  store::test::execSql(file, "CREATE TABLE RuleLayoutModel (id TEXT); PRAGMA user_version = 99");
  VkHUD::shared();  // made before the launch, as the composition root does
  delegate_.applicationDidFinishLaunching();
  drain();
  EXPECT_TRUE(VkHUD::shared().isVisible());
  EXPECT_EQ(VkHUD::shared().text(), "Tilvane cannot remember window positions: it was written by a newer version "
                                    "of Tilvane");
  EXPECT_EQ(log.count("Tilvane cannot use its database"), 1u);
  advance(10.0);
  EXPECT_FALSE(VkHUD::shared().isVisible()) << "said once, then gone";
}

// Hot keys another program holds at the launch, a custom layout's and a preference's, are named once on the
// message window and taken as soon as they are free; then nothing is asked for any more.
TEST_F(AppDelegateTest, HotKeysHeldElsewhereAtTheLaunchAreNamedOnceAndTakenWhenFree) {
  const MASShortcut layoutKey(kVK_ANSI_1, kCGEventFlagMaskControl), restoreKey(kVK_ANSI_2, kCGEventFlagMaskControl);
  for (const MASShortcut& key : {layoutKey, restoreKey}) hotKeys_.setHeldByOtherProgram(key, true);
  StoreService::shared().configureRealm();
  auto layout = std::make_shared<CustomLayoutModel>();
  layout->setKeyCode(kVK_ANSI_1);
  layout->setModifierFlags(kCGEventFlagMaskControl);
  const auto database = store::Database::open();
  database->write([&] { database->add(layout, store::UpdatePolicy::all); });
  ShortcutDefaults::shared().setShortcut("restoreShortcut", restoreKey);
  VkHUD::shared();
  delegate_.applicationDidFinishLaunching();
  drain();
  EXPECT_EQ(VkHUD::shared().text(), NSLocalizedString("HotKeysHeldElsewhere") + " Ctrl+1, Ctrl+2");

  for (const MASShortcut& key : {layoutKey, restoreKey}) hotKeys_.setHeldByOtherProgram(key, false);
  advance(MASShortcutMonitor::kRetryInterval);
  EXPECT_TRUE(hotKeys_.isGrabbed(layoutKey) && hotKeys_.isGrabbed(restoreKey));
  const std::size_t asked = hotKeys_.grabRequests();
  advance(60.0);
  EXPECT_EQ(hotKeys_.grabRequests(), asked);
  EXPECT_FALSE(VkHUD::shared().isVisible()) << "said once, then gone";
}

// The settings file changed while the program runs: another instance's save is taken in within a second and a
// quarter and shown (the tray's switch, a hot key, the General pane's box); the program's own saves, and a file
// caught half written, are not taken for changes.
TEST_F(AppDelegateTest, TheSettingsFileChangedByAnotherInstanceIsShownAndActedOnAndItsOwnSavesAreNot) {
  std::vector<std::vector<std::string>> changes;
  rx::DisposeBag bag;
  AppBridge::settingsChanged()
      .subscribe([&](const std::vector<std::string>& keys) { changes.push_back(keys); })
      .disposed(bag);
  delegate_.applicationDidFinishLaunching();
  drain();
  MainController& main = *delegate_.mainController();
  const MenuItem& toggle = *main.menuBarViewController()->autoLayoutMenuItem();

  AppBridge::toggleAutoLayout().onNext();  // the program's own save
  advanceWithFiles(3.0);
  EXPECT_TRUE(changes.empty());
  EXPECT_EQ(toggle.title(), NSLocalizedString("EnableAutoLayout"));

  const std::filesystem::path file = defaults::UserDefaults::defaultFilePath();
  const MASShortcut key(kVK_ANSI_3, kCGEventFlagMaskControl | kCGEventFlagMaskAlternate);
  {
    defaults::UserDefaults other(file);
    ASSERT_TRUE(other.setInteger(UserDefaultsService::autoLayoutEnabledKey(), 1));
    ASSERT_TRUE(other.setBool(UserDefaultsService::gutterEnabledKey(), true));
    const auto code = static_cast<std::int64_t>(key.keyCode());
    const auto flags = static_cast<std::int64_t>(key.modifierFlags());
    ASSERT_TRUE(other.setObject("restoreShortcut",
                                defaults::Value(defaults::Dictionary{{"keyCode", defaults::Value(code)},
                                                                     {"modifierFlags", defaults::Value(flags)}})));
  }
  advanceWithFiles(0.5);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0], (std::vector<std::string>{"autoLayoutEnabled", "gutterEnabled", "restoreShortcut"}));
  EXPECT_EQ(toggle.title(), NSLocalizedString("DisableAutoLayout"));
  EXPECT_TRUE(hotKeys_.isGrabbed(key));
  EXPECT_EQ(main.preferencesViewController()->general().gapLayoutCheckbox.state(), Checkbox::on);

  // A hand edit looked at while the editor has written only its start: read once it stands still.
  const std::string edited = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>autoLayoutEnabled</key><integer>1</integer><key>gutterEnabled</key><false/>
<key>restoreShortcut</key><dict><key>keyCode</key><integer>20</integer><key>modifierFlags</key><integer>786432</integer>
</dict></dict></plist>
)";
  std::ofstream(file, std::ios::binary) << edited.substr(0, 20);
  advanceWithFiles(0.1);  // told, and read 0.25 s later unless it changes meanwhile
  std::ofstream(file, std::ios::binary) << edited;
  advanceWithFiles(2.0);
  EXPECT_EQ(log.count("damaged"), 0u) << "a file caught half written was taken for a damaged one";
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1], std::vector<std::string>{"gutterEnabled"});
  EXPECT_EQ(main.preferencesViewController()->general().gapLayoutCheckbox.state(), Checkbox::off);
}

// A hand edit saved in two writes a second apart (a slow writer, a script), whenever it starts, is one edit: nothing
// is kept aside or said, and the edit is in effect once it is whole.
TEST_F(AppDelegateTest, AHandEditSavedInTwoWritesASecondApartIsNoDamage) {
  writeSettings(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict/></plist>)");
  delegate_.applicationDidFinishLaunching();
  advanceWithFiles(3.0);
  MainController& main = *delegate_.mainController();
  bool gaps = false;
  for (const double start : {0.0, 0.25, 0.5, 0.75}) {
    SCOPED_TRACE(start);
    gaps = !gaps;
    const std::string edited = std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>gutterEnabled</key>)") + (gaps ? "<true/>" : "<false/>") + "</dict></plist>\n";
    advanceWithFiles(start);
    writeSettings(edited.substr(0, edited.size() / 2));
    advanceWithFiles(1.0);
    std::ofstream(defaults::UserDefaults::defaultFilePath(), std::ios::binary | std::ios::app)
        << edited.substr(edited.size() / 2);
    advanceWithFiles(3.0 - start);
    EXPECT_TRUE(damagedCopies().empty());
    EXPECT_EQ(log.count("damaged"), 0u);
    EXPECT_EQ(UserDefaultsService::gutterEnabled(), gaps);
    EXPECT_EQ(main.preferencesViewController()->general().gapLayoutCheckbox.state(), gaps ? Checkbox::on : Checkbox::off);
  }
}

// The file emptied while the program runs is kept aside and said once; emptied again and touched, and at the next
// start, the same damage is neither copied nor said again while nothing was saved.
TEST_F(AppDelegateTest, TheSameDamageIsCopiedAndSaidOnceWhateverTouchesTheFileUntilASave) {
  writeSettings(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict/></plist>)");
  delegate_.applicationDidFinishLaunching();
  advanceWithFiles(3.0);
  const auto file = defaults::UserDefaults::defaultFilePath();
  writeSettings("");
  advanceWithFiles(3.0);
  ASSERT_EQ(damagedCopies().size(), 1u);
  EXPECT_EQ(log.count("damaged while running"), 1u);
  EXPECT_NE(VkHUD::shared().text().find(damagedCopies().front().filename().string()), std::string::npos);

  writeSettings("");
  advanceWithFiles(3.0);
  std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now());
  advanceWithFiles(3.0);
  EXPECT_EQ(damagedCopies().size(), 1u);
  EXPECT_EQ(log.count("damaged while running"), 1u);
  const defaults::UserDefaults restarted(file);
  ASSERT_TRUE(restarted.loadProblem());
  EXPECT_EQ(settingsLoadText(restarted), "") << "said again at the next start";
  EXPECT_EQ(damagedCopies().size(), 1u);

  // A save, then the same damage: a new one.
  EXPECT_TRUE(UserDefaultsService::toggleAutoLayoutEnabled());
  advanceWithFiles(1.0);
  writeSettings("");
  advanceWithFiles(3.0);
  EXPECT_EQ(damagedCopies().size(), 2u);
  EXPECT_EQ(log.count("damaged while running"), 2u);
}

// The settings folder moved away for a while (a dotfiles tool swapping folders) is not made again meanwhile, so it
// can be moved back; the settings in it are in effect after.
TEST_F(AppDelegateTest, ASettingsFolderMovedAwayIsLeftAwayAndFollowedWhenBack) {
  writeSettings(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>gutterEnabled</key><true/></dict></plist>
)");
  delegate_.applicationDidFinishLaunching();
  advanceWithFiles(3.0);
  ASSERT_TRUE(UserDefaultsService::gutterEnabled());
  const auto folder = defaults::UserDefaults::defaultFilePath().parent_path();
  const auto away = folder.parent_path() / "Tilvane.away";
  std::filesystem::rename(folder, away);
  advanceWithFiles(5.0);
  EXPECT_FALSE(std::filesystem::exists(folder)) << "made again while away";
  EXPECT_FALSE(UserDefaultsService::gutterEnabled()) << "no file: the defaults";
  std::error_code ec;
  std::filesystem::rename(away, folder, ec);
  ASSERT_FALSE(ec) << ec.message();
  advanceWithFiles(2.0);
  EXPECT_TRUE(UserDefaultsService::gutterEnabled());
  EXPECT_EQ(delegate_.mainController()->preferencesViewController()->general().gapLayoutCheckbox.state(),
            Checkbox::on);
}

// A link anywhere on the settings file's path (a dotfiles tool's way, at any level) is followed: the settings
// folder, the configuration folder or the file a link to dotfiles/A (gaps on), then changed to reach another file;
// each change is in effect within 2 s, and so is an edit made after it.
struct LinkStep {
  const char* what;
  std::function<void(const std::filesystem::path& temp)> act;
  std::optional<bool> gaps;  // the value in effect after it (none: not looked at)
  double seconds = 2.0;
};
struct LinkCase {
  const char* name;
  std::function<void(const std::filesystem::path& temp)> setUp;
  std::vector<LinkStep> steps;
};
void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.name; }

class SettingsLinkTest : public AppDelegateTest, public ::testing::WithParamInterface<LinkCase> {};

void link(const std::filesystem::path& target, const std::filesystem::path& at) {
  std::filesystem::create_directories(at.parent_path());
  std::filesystem::create_symlink(target, at);
}
// As a dotfiles tool or a user's shell re-points a link: a new link made beside it and renamed over it.
void repoint(const std::filesystem::path& target, const std::filesystem::path& at) {
  const std::string command = "ln -sfn '" + target.string() + "' '" + at.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}
std::string gapsPlist(bool gaps) {
  return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>gutterEnabled</key>)") +
         (gaps ? "<true/>" : "<false/>") + "</dict></plist>\n";
}

TEST_P(SettingsLinkTest, EveryLinkOnThePathIsFollowedAndSoIsTheNextEdit) {
  namespace fs = std::filesystem;
  const fs::path temp = tempDir();
  fs::remove_all(temp / "config" / "Tilvane");
  for (const auto& [folder, gaps] : {std::pair{"A", true}, std::pair{"B", false}}) {
    fs::create_directories(temp / "dotfiles" / folder);
    std::ofstream(temp / "dotfiles" / folder / "defaults.plist", std::ios::binary) << gapsPlist(gaps);
  }
  GetParam().setUp(temp);
  delegate_.applicationDidFinishLaunching();
  advanceWithFiles(3.0);
  ASSERT_TRUE(UserDefaultsService::gutterEnabled()) << "dotfiles/A read at start";
  const Checkbox& box = delegate_.mainController()->preferencesViewController()->general().gapLayoutCheckbox;
  bool gaps = true;
  for (const LinkStep& step : GetParam().steps) {
    step.act(temp);
    advanceWithFiles(step.seconds);
    if (!step.gaps) continue;
    gaps = *step.gaps;
    EXPECT_EQ(UserDefaultsService::gutterEnabled(), gaps) << step.what;
    EXPECT_EQ(box.state(), gaps ? Checkbox::on : Checkbox::off) << step.what;
  }
  for (const int edit : {1, 2}) {
    gaps = !gaps;
    writeSettings(gapsPlist(gaps));
    advanceWithFiles(2.0);
    EXPECT_EQ(UserDefaultsService::gutterEnabled(), gaps) << "edit " << edit << " after the change";
    EXPECT_EQ(box.state(), gaps ? Checkbox::on : Checkbox::off) << "edit " << edit << " after the change";
  }
  EXPECT_TRUE(damagedCopies().empty());
  EXPECT_EQ(log.count("damaged"), 0u);
}

using P = const std::filesystem::path&;
const auto settingsToA = [](P t) { link(t / "dotfiles" / "A", t / "config" / "Tilvane"); };
INSTANTIATE_TEST_SUITE_P(
    Levels, SettingsLinkTest,
    ::testing::Values(
        LinkCase{"SettingsFolderRepointed",
                 settingsToA,
                 {{"ln -sfn to B", [](P t) { repoint(t / "dotfiles" / "B", t / "config" / "Tilvane"); }, false}}},
        LinkCase{"SettingsFolderSwappedByARename",
                 settingsToA,
                 {{"a link to B renamed over it",
                   [](P t) {
                     link("../dotfiles/B", t / "config" / ".Tilvane.new");
                     std::filesystem::rename(t / "config" / ".Tilvane.new", t / "config" / "Tilvane");
                   },
                   false}}},
        LinkCase{
            "SettingsFolderTargetMovedAwayAndBack",
            settingsToA,
            {{"A moved away 3 s: no file, the defaults",
              [](P t) { std::filesystem::rename(t / "dotfiles" / "A", t / "dotfiles" / "A.away"); }, false, 3.0},
             {"A moved back",
              [](P t) { std::filesystem::rename(t / "dotfiles" / "A.away", t / "dotfiles" / "A"); }, true}}},
        LinkCase{"SettingsFolderTargetReplaced",
                 settingsToA,
                 {{"A moved aside",
                   [](P t) { std::filesystem::rename(t / "dotfiles" / "A", t / "dotfiles" / "A.old"); },
                   std::nullopt, 0.1},
                  {"B moved in its place",
                   [](P t) { std::filesystem::rename(t / "dotfiles" / "B", t / "dotfiles" / "A"); }, false}}},
        LinkCase{"TwoLinkChainMiddleRepointed",
                 [](P t) {
                   link("../links/tilvane", t / "config" / "Tilvane");
                   link("../dotfiles/A", t / "links" / "tilvane");
                 },
                 {{"the middle link re-pointed to B",
                   [](P t) { repoint("../dotfiles/B", t / "links" / "tilvane"); }, false}}},
        LinkCase{"ConfigurationFolderRepointed",
                 [](P t) {
                   std::filesystem::create_directories(t / "config");
                   std::filesystem::rename(t / "config", t / "configA");
                   link(t / "dotfiles" / "A", t / "configA" / "Tilvane");
                   link("configA", t / "config");
                 },
                 {{"ln -sfn to a configuration folder whose Tilvane is B",
                   [](P t) {
                     link(t / "dotfiles" / "B", t / "configB" / "Tilvane");
                     repoint("configB", t / "config");
                   },
                   false}}},
        LinkCase{"FileRepointed",
                 [](P t) {
                   link(t / "dotfiles" / "A" / "defaults.plist", t / "config" / "Tilvane" / "defaults.plist");
                 },
                 {{"ln -sfn to B's file",
                   [](P t) {
                     repoint(t / "dotfiles" / "B" / "defaults.plist", t / "config" / "Tilvane" / "defaults.plist");
                   },
                   false}}}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tilvane::test
