// The program's settings on the X test desktop as a user meets them: a settings file cut short by a hand edit is
// kept, start at login stands and the user is told; a folder that may not be written makes a click in the General
// pane say so and leaves the box as stored; two instances on two displays sharing one settings file and one
// database keep each other's changes. Where to click is read off the same windows built here. Screenshots are kept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AppManager/Store/StoreService.h"
#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"
#include "CustomLayout/Qt/QtCustomLayoutListView.h"
#include "Models/CustomLayoutModel.h"
#include "Preferences/PreferencesViewController.h"
#include "Preferences/Qt/QtGeneralPane.h"
#include "Preferences/Qt/QtPaneWindow.h"
#include "Preferences/Qt/QtPreferencesViews.h"
#include "platform/autostart/XdgAutostart.h"
#include "platform/base/SharedInstance.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/UserDefaults.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Advanced/X11/MeasuredAdvancedWindow.h"
#include "tilvane/Preferences/PreferencesFakes.h"
#include "tilvane/Shell/Process/PrivateDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

namespace fs = std::filesystem;

/// A settings file with start at login on, gaps on and a hot key.
const std::string kSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>launchAtLogin</key><integer>1</integer><key>gutterEnabled</key><true/>
<key>layoutShortcut</key><dict><key>keyCode</key><integer>37</integer><key>modifierFlags</key><integer>786432</integer>
</dict></dict></plist>
)";

fs::path settingsFile() { return defaults::UserDefaults::defaultFilePath(); }
/// What the settings file holds under `key` now.
std::optional<defaults::Value> storedNow(const std::string& key) {
  return defaults::UserDefaults(settingsFile()).objectForKey(key);
}

/// `argv` run against `display`.
std::vector<std::string> on(const std::string& display, std::vector<std::string> argv) {
  argv.insert(argv.begin(), {"env", "DISPLAY=" + display});
  return argv;
}

/// The General pane's boxes in the preferences window's own pixels.
std::array<QRect, 4> generalPaneBoxes() {
  RecordingUpdater updater;
  FakeLoginItem login;
  QtPreferencesViews views;
  auto preferences = VkRxController::make<PreferencesViewController>(
      PreferencesServices{updater, [](const std::string&) { return true; }, &login, &views});
  auto& window = dynamic_cast<QtPaneWindow&>(*preferences->preferenceViewController()->window());
  preferences->showPane(-1);
  MeasuredAdvancedWindow::settle();
  const auto& pane = dynamic_cast<QtGeneralPane&>(*preferences->general().view());
  std::array<QRect, 4> boxes;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const QCheckBox* box = pane.rows()[i].checkbox;
    boxes[i] = QRect(box->mapTo(&window.window(), QPoint(0, 0)), box->size());
  }
  window.window().close();
  MeasuredAdvancedWindow::settle();
  return boxes;
}

/// A folder that may not be written while the object lives: no write permission, and immutable where the file
/// system allows it (root writes anywhere else). Put back when it goes, however the test ends, so the test's
/// folders can be removed.
class UnwritableFolder {
 public:
  explicit UnwritableFolder(fs::path folder) : folder_(std::move(folder)), before_(fs::status(folder_).permissions()) {
    fs::permissions(folder_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    immutable_ = setImmutable(true);
  }
  ~UnwritableFolder() {
    if (immutable_) setImmutable(false);
    std::error_code ec;
    fs::permissions(folder_, before_, ec);
  }
  UnwritableFolder(const UnwritableFolder&) = delete;
  UnwritableFolder& operator=(const UnwritableFolder&) = delete;

  bool immutable() const { return immutable_; }

 private:
  bool setImmutable(bool on) const {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }

  fs::path folder_;
  fs::perms before_;
  bool immutable_ = false;
};

class SettingsDesktopTest : public X11DesktopTest {
 protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (HasFatalFailure()) return;
    app_ = std::make_unique<QApplication>(argc_, argv_);
    boxes_ = generalPaneBoxes();
    // What measuring read or left is not the program's.
    SharedInstances::resetAll();
    fs::remove_all(settingsFile().parent_path());
  }
  void TearDown() override {
    for (auto& program : programs_) kill(program->pid(), SIGTERM);
    for (auto& program : programs_) exitCode(*program, output_, 10.0);
    programs_.clear();
    app_.reset();
    X11DesktopTest::TearDown();
  }

  /// Starts the program on `display` and waits until its menu is built.
  void start(const std::string& display) {
    std::vector<std::string> argv = on(display, {"sh", "-c", "exec \"$0\" \"$@\" 2>&1", TILVANE_BINARY_PATH});
    programs_.push_back(ChildProcess::spawn(argv));
    ASSERT_TRUE(programs_.back());
    ASSERT_TRUE(readUntil(*programs_.back(), "menubar update items end", output_, 30.0)) << output_;
  }
  /// Hands `url` to the instance on `display`, and waits for its window titled `title`.
  std::string open(const std::string& display, const std::string& url, const std::string& title) {
    std::vector<std::string> argv = on(display, {TILVANE_BINARY_PATH, url});
    EXPECT_EQ(runCommand(argv), 0) << url;
    std::string window;
    waitUntil([&] {
      const auto found = outputOf(on(display, {"xdotool", "search", "--onlyvisible", "--name", title}));
      if (!found.empty()) window = found.front();
      return !window.empty();
    }, 20.0);
    EXPECT_FALSE(window.empty()) << "no window \"" << title << "\"\n" << output_;
    pause(0.8);
    return window;
  }
  /// The program's visible windows on `display` other than its tray icon and the windows named `except`.
  std::vector<std::string> otherWindows(const std::string& display, const std::vector<std::string>& except) {
    std::vector<std::string> windows;
    for (const std::string& id : outputOf(on(display, {"xdotool", "search", "--onlyvisible", "--classname",
                                                       "tilvane"}))) {
      bool icon = false;
      for (const std::string& line : outputOf(on(display, {"xdotool", "getwindowgeometry", id})))
        icon = icon || line.find("Geometry: 22x22") != std::string::npos;
      if (!icon && std::find(except.begin(), except.end(), id) == except.end()) windows.push_back(id);
    }
    return windows;
  }
  void click(const std::string& display, const std::string& window, const QPoint& spot) {
    ASSERT_EQ(runCommand(on(display, {"xdotool", "mousemove", "--window", window, std::to_string(spot.x()),
                                      std::to_string(spot.y()), "click", "1"})),
              0);
    pause(0.6);
  }
  /// A box's tick mark: the left end of the box, where the mark is drawn.
  static QPoint tick(const QRect& box) { return {box.left() + 8, box.center().y()}; }
  QImage tickImage(const std::string& display, const std::string& window, const QRect& box) {
    const std::string file = (tempDir() / "shot.png").string();
    EXPECT_EQ(runCommand(on(display, {"import", "-window", window, file})), 0);
    return QImage(QString::fromStdString(file)).copy(box.left(), box.top(), 20, box.height());
  }
  void screenshot(const std::string& display, const std::string& name) {
    EXPECT_EQ(runCommand(on(display, {"import", "-window", "root", std::string(TILVANE_ARTEFACT_DIR) + "/" + name})),
              0);
  }
  void pause(double seconds) { waitUntil([] { return false; }, seconds); }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  int argc_ = 1;
  char name_[18] = "settings_x11_test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
  std::array<QRect, 4> boxes_;
  std::vector<std::unique_ptr<ChildProcess>> programs_;
  std::string output_;
};

TEST_F(SettingsDesktopTest, ADamagedSettingsFileIsKeptStartAtLoginStandsAndTheUserIsTold) {
  fs::create_directories(settingsFile().parent_path());
  const std::string cut = kSettings.substr(0, kSettings.size() - 30);
  std::ofstream(settingsFile(), std::ios::binary) << cut;
  XdgAutostart autostart(TILVANE_BINARY_PATH);
  ASSERT_TRUE(autostart.enableLaunchAtLogin());
  const fs::path entry = xdg::configHome() / "autostart" / "tilvane.desktop";
  ASSERT_TRUE(fs::exists(entry));

  start(display());
  EXPECT_TRUE(waitUntil([&] { return !otherWindows(display(), {}).empty(); }, 5.0)) << "no message\n" << output_;
  screenshot(display(), "x11-settings-damaged-message.png");
  const std::string preferences = open(display(), "tilvane://action?target=preferences", "Tilvane Preferences");
  screenshot(display(), "x11-settings-damaged-preferences.png");

  EXPECT_TRUE(fs::exists(entry)) << output_;
  bool kept = fs::exists(settingsFile()) && readFile(settingsFile()) == cut;
  for (const auto& file : fs::directory_iterator(settingsFile().parent_path()))
    kept = kept || (file.path().filename().string().rfind("defaults.plist.damaged-", 0) == 0 &&
                    readFile(file.path()) == cut);
  EXPECT_TRUE(kept) << "the damaged bytes are gone\n" << output_;
}

TEST_F(SettingsDesktopTest, AClickInTheGeneralPaneThatCannotBeSavedIsSaidAndTheBoxShowsTheStoredValue) {
  fs::create_directories(settingsFile().parent_path());
  std::ofstream(settingsFile(), std::ios::binary) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>gutterEnabled</key><false/></dict></plist>
)";
  const UnwritableFolder unwritable(settingsFile().parent_path());
  // Root writes anywhere: where the folder cannot be made immutable, a folder takes the file's place (nothing
  // stored, and the save fails the same way).
  if (geteuid() == 0 && !unwritable.immutable()) {
    fs::remove(settingsFile());
    fs::create_directories(settingsFile() / "in the way");
  }
  start(display());
  const std::string preferences = open(display(), "tilvane://action?target=preferences", "Tilvane Preferences");
  ASSERT_FALSE(preferences.empty());
  const QRect gaps = boxes_[3];
  const QImage before = tickImage(display(), preferences, gaps);
  std::vector<std::string> shown = otherWindows(display(), {});
  click(display(), preferences, tick(gaps));
  std::vector<std::string> alert;
  EXPECT_TRUE(waitUntil([&] {
    alert = otherWindows(display(), shown);
    return !alert.empty();
  }, 10.0)) << "nothing said on the screen\n" << output_;
  screenshot(display(), "x11-settings-not-saved.png");
  // The alert stands over the upper rows; the gaps box below it shows.
  EXPECT_EQ(tickImage(display(), preferences, gaps), before) << "the box does not show what is stored";
  EXPECT_NE(storedNow("gutterEnabled"), defaults::Value(true));
}

TEST_F(SettingsDesktopTest, TwoInstancesOnTwoDisplaysKeepEachOthersSettingsAndDeletedLayouts) {
  const PrivateDesktop second(tempDir() / "second-desktop");
  ASSERT_FALSE(second.display().empty());
  std::map<std::string, QPoint> spots;
  {
    StoreService::shared().configureRealm();
    auto shared = std::make_shared<CustomLayoutModel>();
    shared->setName("Shared");
    auto database = StoreService::shared().database();
    database->write([&] { StoreService::shared().addUpdating(*database, shared); });
    MeasuredAdvancedWindow measured(2);
    spots["Layouts"] = measured.centre(measured.window().paneButtons().at(2));
    auto& list = measured.advanced().layouts().customLayoutViewController();
    auto* listView = dynamic_cast<QtCustomLayoutListView*>(list.view());
    spots["remove"] = measured.centre(listView->removeButton());
    spots["row"] = measured.at(listView->tableView()->viewport(), QPoint(60, 12));
    list.tableViewSelectionDidChange(0);
    MeasuredAdvancedWindow::settle();
    auto* detail = dynamic_cast<QtCustomLayoutDetailView*>(list.deatilViewController().view());
    spots["type"] = measured.centre(detail->rulePopUpButton());
  }
  SharedInstances::resetAll();
  StoreService::shared().configureRealm();

  start(display());
  start(second.display());
  // One instance turns automatic layout off; the other then saves a setting of its own.
  ASSERT_EQ(runCommand(on(display(), {TILVANE_BINARY_PATH, "tilvane://action?target=toggle"})), 0);
  ASSERT_TRUE(waitUntil([] { return storedNow("autoLayoutEnabled").has_value(); })) << output_;
  const std::string preferences = open(second.display(), "tilvane://action?target=preferences", "Tilvane Preferences");
  click(second.display(), preferences, tick(boxes_[2]));  // hide the layout actions
  EXPECT_TRUE(waitUntil([] { return storedNow("showBuildInLayoutAction") == defaults::Value(true); })) << output_;
  EXPECT_EQ(storedNow("autoLayoutEnabled"), defaults::Value(0)) << "the first instance's change was undone";

  // Both show the layout; one deletes it, the other edits the copy it still shows.
  const std::string first = open(display(), "tilvane://action?target=advanced", "Tilvane Advanced");
  const std::string other = open(second.display(), "tilvane://action?target=advanced", "Tilvane Advanced");
  for (const auto& [where, window] : {std::pair{display(), first}, std::pair{second.display(), other}}) {
    click(where, window, spots.at("Layouts"));
    click(where, window, spots.at("row"));
  }
  click(display(), first, spots.at("remove"));
  ASSERT_TRUE(waitUntil([] { return StoreService::shared().customLayouts().empty(); }, 10.0)) << output_;
  const std::vector<std::string> shown = otherWindows(second.display(), {});
  click(second.display(), other, spots.at("type"));
  ASSERT_EQ(runCommand(on(second.display(), {"xdotool", "key", "--delay", "60", "Down", "Return"})), 0);
  EXPECT_TRUE(waitUntil([&] { return !otherWindows(second.display(), shown).empty(); }, 10.0))
      << "the editor did not say the layout is gone\n" << output_;
  screenshot(second.display(), "x11-settings-layout-gone.png");
  EXPECT_TRUE(StoreService::shared().customLayouts().empty()) << "the deleted layout came back\n" << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
