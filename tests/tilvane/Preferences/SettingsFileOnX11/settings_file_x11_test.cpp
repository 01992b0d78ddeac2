// The settings file as the program meets it on the X test desktop: damaged bytes are kept once and start at login
// stands after later starts; a value of the wrong type is said and not acted on; a hand edit made while the program
// runs loses nothing at the next change, and one that switches automatic layout off is shown in the tray and acted
// on; a settings file that is a symbolic link stays one. Each test waits on what the program logs or stores, and
// every program it starts ends with it.
#include <gtest/gtest.h>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppManager/Store/StoreService.h"
#include "platform/autostart/XdgAutostart.h"
#include "platform/base/SharedInstance.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/PlistCodec.h"
#include "platform/defaults/UserDefaults.h"
#include "support/windows/StoredRecord.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Shell/MenuBar/Tray/TrayWindows.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

namespace fs = std::filesystem;
using defaults::Value;

/// Start at login on, gaps on and a hot key.
const std::string kSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>launchAtLogin</key><integer>1</integer><key>gutterEnabled</key><true/>
<key>layoutShortcut</key><dict><key>keyCode</key><integer>37</integer><key>modifierFlags</key><integer>786432</integer>
</dict></dict></plist>
)";

fs::path settingsFile() { return defaults::UserDefaults::defaultFilePath(); }
fs::path autostartEntry() { return xdg::configHome() / "autostart" / "tilvane.desktop"; }

/// What `file` holds, read without keeping anything aside; none when it is not a settings file.
std::optional<defaults::Dictionary> settingsIn(const fs::path& file) {
  std::string error;
  return defaults::decodePlistDictionary(readFile(file), error);
}
/// The value under `key` in `file`; none when absent or the file is damaged.
std::optional<Value> storedIn(const fs::path& file, const std::string& key) {
  const auto settings = settingsIn(file);
  if (!settings) return std::nullopt;
  const auto found = settings->find(key);
  return found == settings->end() ? std::nullopt : std::optional<Value>(found->second);
}

/// The copies of damaged settings beside the file.
std::vector<fs::path> damagedCopies() {
  std::vector<fs::path> copies;
  for (const auto& entry : fs::directory_iterator(settingsFile().parent_path()))
    if (entry.path().filename().string().rfind("defaults.plist.damaged-", 0) == 0) copies.push_back(entry.path());
  return copies;
}

void writeSettings(const std::string& bytes) {
  fs::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile(), std::ios::binary) << bytes;
}

class SettingsFileDesktopTest : public X11DesktopTest {
 protected:
  void TearDown() override {
    program_.reset();  // ends the program, also after a failure
    X11DesktopTest::TearDown();
  }

  /// Starts the program, ending the one before, and waits until its menu is built.
  void start() {
    program_.reset();
    output_ += "--- start\n";
    program_ = ChildProcess::spawn({"sh", "-c", "exec \"$0\" \"$@\" 2>&1", TILVANE_BINARY_PATH});
    ASSERT_TRUE(program_);
    ASSERT_TRUE(readUntil(*program_, "menubar update items end", output_, 30.0)) << output_;
  }
  /// Hands `url` to the running program.
  void send(const std::string& url) { ASSERT_EQ(runCommand({TILVANE_BINARY_PATH, url}), 0) << url; }
  /// Opens the preferences and waits until their window shows: the General pane's load, which applies its rows,
  /// has run by then.
  void openGeneralPane() {
    send("tilvane://action?target=preferences");
    ASSERT_TRUE(readUntil(*program_, "GeneralPreferencesViewController setup ViewModel", output_, 20.0)) << output_;
    ASSERT_TRUE(waitUntil([] {
      return !outputOf({"xdotool", "search", "--onlyvisible", "--name", "Tilvane Preferences"}).empty();
    }, 20.0)) << output_;
  }
  /// Flips automatic layout as the tray's switch does, and waits until `file` holds the flip.
  void flipAutoLayout(const fs::path& file) {
    const std::optional<Value> before = storedIn(file, "autoLayoutEnabled");
    send("tilvane://action?target=toggle");
    EXPECT_TRUE(waitUntil([&] {
      const auto now = storedIn(file, "autoLayoutEnabled");
      return now && now != before;
    }, 20.0)) << output_;
  }
  /// Whether a window of the program other than its tray icon is shown: the message window.
  bool messageShown() {
    for (const std::string& id : outputOf({"xdotool", "search", "--onlyvisible", "--classname", "tilvane"})) {
      bool icon = false;
      for (const std::string& line : outputOf({"xdotool", "getwindowgeometry", id}))
        icon = icon || line.find("Geometry: 22x22") != std::string::npos;
      if (!icon) return true;
    }
    return false;
  }
  /// Writes the autostart entry as the program would have at an earlier start.
  void writeAutostartEntry() {
    XdgAutostart autostart(TILVANE_BINARY_PATH);
    ASSERT_TRUE(autostart.enableLaunchAtLogin());
    ASSERT_TRUE(fs::exists(autostartEntry()));
  }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  std::unique_ptr<ChildProcess> program_;
  std::string output_;
};

TEST_F(SettingsFileDesktopTest, DamagedBytesAreKeptOnceAndStartAtLoginStandsAfterTheFirstChange) {
  const std::string cut = kSettings.substr(0, kSettings.size() - 30);
  writeSettings(cut);
  writeAutostartEntry();

  start();
  ASSERT_EQ(damagedCopies().size(), 1u) << output_;
  start();
  EXPECT_EQ(damagedCopies().size(), 1u) << "the same damage was copied again\n" << output_;
  flipAutoLayout(settingsFile());  // writes a file holding that key alone
  start();
  openGeneralPane();
  EXPECT_TRUE(fs::exists(autostartEntry())) << "a missing setting was acted on\n" << output_;
  ASSERT_EQ(damagedCopies().size(), 1u) << output_;
  EXPECT_EQ(readFile(damagedCopies().front()), cut);
}

TEST_F(SettingsFileDesktopTest, AValueOfTheWrongTypeIsSaidAndNotActedOn) {
  std::string settings = kSettings;
  settings.replace(settings.find("<integer>1</integer>"), 20, "<string>maybe</string>");
  settings.replace(settings.find("<true/>"), 7, "<string>yes</string>");
  writeSettings(settings);
  writeAutostartEntry();

  start();
  EXPECT_TRUE(waitUntil([&] { return messageShown(); }, 10.0)) << "nothing said on the screen\n" << output_;
  EXPECT_NE(output_.find("\"launchAtLogin\""), std::string::npos) << output_;
  openGeneralPane();
  EXPECT_TRUE(fs::exists(autostartEntry())) << "a string was read as 0\n" << output_;
  EXPECT_EQ(readFile(settingsFile()), settings) << "the hand edit is kept until the user sets it";
}

TEST_F(SettingsFileDesktopTest, AHandEditWhileRunningThenTheTraySwitchKeepsEverySettingAndTheDamagedBytes) {
  writeSettings(kSettings);
  start();
  const std::string typo = kSettings.substr(0, kSettings.find("<true/>")) + "<true>" + kSettings.substr(
      kSettings.find("<true/>") + 7);
  writeSettings(typo);
  flipAutoLayout(settingsFile());

  ASSERT_TRUE(settingsIn(settingsFile())) << output_;
  std::string error;
  const auto known = defaults::decodePlistDictionary(kSettings, error);
  ASSERT_TRUE(known);
  for (const auto& [key, value] : *known) EXPECT_EQ(storedIn(settingsFile(), key), value) << key << "\n" << output_;
  bool kept = false;
  for (const fs::path& copy : damagedCopies()) kept = kept || readFile(copy) == typo;
  EXPECT_TRUE(kept) << "the damaged bytes are gone\n" << output_;
  EXPECT_TRUE(waitUntil([&] { return messageShown(); }, 10.0)) << "nothing said on the screen\n" << output_;
}

// Another instance or a hand edit switches automatic layout off while the program runs: within two seconds the
// tray's switch offers to turn it on, a new window keeps its place, and choosing the switch stores 1.
TEST_F(SettingsFileDesktopTest, AutomaticLayoutSwitchedOffByHandIsShownInTheTrayAndActedOn) {
  // A window of the test client has a remembered place: automatic layout would put it there.
  StoreService::shared().configureRealm();
  storeAutoLayoutRecord({.bundle = "TilvaneFollow", .fractions = CGRectMake(0.25, 0.25, 0.5, 0.5)});
  SharedInstances::resetAll();  // the program has the database to itself
  writeSettings(kSettings);
  start();
  ASSERT_NE(output_.find("menubar auto layout entry: Turn Off Automatic Layout"), std::string::npos) << output_;

  std::string edited = kSettings;
  edited.insert(edited.find("</dict></plist>"), "<key>autoLayoutEnabled</key><integer>0</integer>");
  writeSettings(edited);
  EXPECT_TRUE(readUntil(*program_, "menubar auto layout entry: Turn On Automatic Layout", output_, 2.0))
      << "the tray's switch does not show what is stored\n" << output_;

  TestClient& client = launchClient({"--class", "follow,TilvaneFollow", "--title", "Follow"});
  ASSERT_TRUE(readUntil(*program_, ", Follow", output_, 10.0)) << output_;  // admitted
  // The remembered place, 480,264 960x528 of the 1920 x 1056 above the tray, less the gaps the settings keep.
  const auto atRememberedPlace = [&] {
    const auto frame = probe().frameRect(client.window(0));
    return frame && std::abs(frame->x - 488) <= 8 && std::abs(frame->y - 272) <= 8 &&
           std::abs(frame->width - 944) <= 16 && std::abs(frame->height - 512) <= 16;
  };
  EXPECT_FALSE(waitUntil(atRememberedPlace, 2.0)) << "a new window was laid out with automatic layout off\n"
                                                  << probe().frameRect(client.window(0)).value_or(XRectangle{})
                                                  << "\n" << output_;

  std::optional<Placed> icon;
  ASSERT_TRUE(waitUntil([&] { return (icon = findTilvaneWindow(true)).has_value(); })) << "no icon in the tray";
  ASSERT_EQ(runCommand({"xdotool", "mousemove", std::to_string(icon->x + icon->width / 2),
                        std::to_string(icon->y + icon->height / 2), "click", "3"}),
            0);
  std::optional<Placed> menu;
  ASSERT_TRUE(waitUntil([&] { return (menu = findTilvaneWindow(false)).has_value(); })) << "the menu did not open";
  // The switch is the menu's first entry that can be chosen.
  runCommand({"xdotool", "key", "--window", std::to_string(menu->window), "--delay", "30", "Down", "Return"});
  EXPECT_TRUE(waitUntil([] { return storedIn(settingsFile(), "autoLayoutEnabled") == Value(1); }, 10.0)) << output_;
}

TEST_F(SettingsFileDesktopTest, ALinkedSettingsFileStaysALinkAndItsTargetTakesTheChange) {
  const fs::path target = tempDir() / "dotfiles" / "tilvane.plist";
  fs::create_directories(target.parent_path());
  std::ofstream(target, std::ios::binary) << kSettings;
  fs::create_directories(settingsFile().parent_path());
  fs::create_symlink(target, settingsFile());

  start();
  flipAutoLayout(target);
  EXPECT_TRUE(fs::is_symlink(settingsFile())) << output_;
  std::string error;
  const auto earlier = defaults::decodePlistDictionary(kSettings, error);
  ASSERT_TRUE(earlier);
  for (const auto& [key, value] : *earlier) EXPECT_EQ(storedIn(target, key), value) << key << "\n" << output_;
  EXPECT_TRUE(storedIn(target, "autoLayoutEnabled")) << output_;
}

// Gaps turned on in the file by hand while the program runs: every window it laid out is laid out again with them,
// 8 pixels in from each side of its place, as the General pane's box does.
TEST_F(SettingsFileDesktopTest, AGapTurnedOnByHandLaysOutEveryWindowAgainWithIt) {
  StoreService::shared().configureRealm();
  storeAutoLayoutRecord({.bundle = "TilvaneGapOne", .fractions = CGRectMake(0, 0, 0.5, 0.5)});
  storeAutoLayoutRecord({.bundle = "TilvaneGapTwo", .fractions = CGRectMake(0.5, 0.5, 0.5, 0.5)});
  SharedInstances::resetAll();  // the program has the database to itself
  std::string settings = kSettings;
  settings.replace(settings.find("<true/>"), 7, "<false/>");
  writeSettings(settings);
  start();

  std::vector<TestClient*> clients;
  std::vector<XRectangle> before;
  for (const std::string name : {"One", "Two"}) {
    clients.push_back(&launchClient({"--class", "gap" + name + ",TilvaneGap" + name, "--title", "Gap" + name}));
    ASSERT_TRUE(readUntil(*program_, ", Gap" + name, output_, 10.0)) << output_;  // admitted
    // Laid out at its remembered place: a quarter of the screen.
    std::optional<XRectangle> frame;
    ASSERT_TRUE(waitUntil([&] {
      frame = probe().frameRect(clients.back()->window(0));
      return frame && frame->width > 800 && frame->width < 1000;
    }, 5.0)) << frame.value_or(XRectangle{}) << "\n" << output_;
    before.push_back(*frame);
  }

  writeSettings(kSettings);
  for (std::size_t i = 0; i < clients.size(); ++i) {
    const XRectangle& was = before[i];
    std::optional<XRectangle> now;
    EXPECT_TRUE(waitUntil([&] {
      now = probe().frameRect(clients[i]->window(0));
      return now && std::abs(now->x - was.x - 8) <= 1 && std::abs(now->y - was.y - 8) <= 1 &&
             std::abs(now->width + 16 - was.width) <= 1 && std::abs(now->height + 16 - was.height) <= 1;
    }, 2.5)) << "window " << i << " from " << was << " to " << now.value_or(XRectangle{}) << "\n" << output_;
  }
}

}  // namespace
}  // namespace tilvane::test::x11
