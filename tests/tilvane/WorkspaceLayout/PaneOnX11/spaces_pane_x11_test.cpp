// The Workspaces pane on the X test desktop as a user meets it: two plain terminals (one application, two
// windows) on desktops 1 and 2, a snapshot taken with the pane's button, both terminals closed, and the new
// workspace restored through tilvane://space?id=<id>: two terminals come back, each on its desktop at its place.
// Where to click is read off the same window built here on the same display. Screenshots of the pane with a
// selected item and of both restored desktops are kept as artefacts. And the delete confirmation, answered from
// the keyboard.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "AppManager/Store/StoreService.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "WorkspaceLayout/Qt/QtWorkspaceDetailView.h"
#include "WorkspaceLayout/Qt/QtWorkspaceListView.h"
#include "platform/store/Database.h"
#include "support/Artefacts.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Advanced/X11/MeasuredAdvancedWindow.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

/// What the program names a plain xterm: the desktop entry whose StartupWMClass is its class.
constexpr const char* kTerminal = "debian-xterm";
/// WM_CLASS of a plain xterm, instance and class.
const std::string kTerminalClass("xterm\0XTerm\0", 12);

using Spots = std::map<std::string, QPoint>;

/// Builds the advanced window here and reads where the Workspaces pane's button, its snapshot and remove
/// buttons, its first row and the editor's first item row stand. Nothing is stored.
Spots spotsOfTheWorkspacesPane() {
  Spots spots;
  MeasuredAdvancedWindow measured(0);
  spots["Workspaces"] = measured.centre(measured.window().paneButtons().at(0));
  auto& list = measured.advanced().workspaces().workspaceViewController();
  const auto* listView = dynamic_cast<QtWorkspaceListView*>(list.view());
  spots["snapshot"] = measured.centre(listView->snapshotButton());
  spots["remove"] = measured.centre(listView->removeButton());
  spots["first workspace"] = measured.at(listView->tableView()->viewport(), QPoint(20, 12));
  const QTableWidget* items = dynamic_cast<QtWorkspaceDetailView*>(list.deatilViewController().view())->tableView();
  spots["first item"] = measured.at(
      items->viewport(), QPoint(items->viewport()->width() / 2, items->verticalHeader()->defaultSectionSize() / 2));
  return spots;
}

bool near(const XRectangle& a, const XRectangle& b) {
  return std::abs(a.x - b.x) <= 12 && std::abs(a.y - b.y) <= 12 && std::abs(a.width - b.width) <= 12 &&
         std::abs(a.height - b.height) <= 12;
}

class SpacesPaneDesktopTest : public X11DesktopTest {
 protected:
  void click(const std::string& window, const QPoint& spot) {
    ASSERT_EQ(runCommand({"xdotool", "mousemove", "--window", window, std::to_string(spot.x()),
                          std::to_string(spot.y()), "click", "1"}),
              0);
  }
  /// Lets the program draw what a click changed, for a screenshot; nothing is checked by it.
  void settle() { waitUntil([] { return false; }, 0.6); }
  void showDesktop(int n) {
    probe().switchDesktop(n);
    ASSERT_TRUE(waitUntil([&] { return probe().currentDesktop() == n; }));
  }

  /// The plain terminals on the desktop: window → its desktop.
  std::map<std::uint32_t, std::int64_t> terminals() {
    std::map<std::uint32_t, std::int64_t> found;
    for (const std::uint32_t w : probe().clientList())
      if (probe().text(w, "WM_CLASS") == kTerminalClass) found[w] = probe().desktopOf(w);
    return found;
  }
  /// The frame of the terminal on desktop `desktop`, if there is exactly one.
  std::optional<XRectangle> terminalOn(std::int64_t desktop) {
    std::optional<XRectangle> frame;
    int count = 0;
    for (const auto& [w, on] : terminals())
      if (on == desktop && ++count == 1) frame = probe().frameRect(w);
    return count == 1 ? frame : std::nullopt;
  }
  /// Whether the program remembers the terminal on `desktop` where it stands: a stored placement of that
  /// desktop whose fractions of the work area give the terminal's frame.
  bool remembered(std::int64_t desktop) {
    const auto frame = terminalOn(desktop);
    const auto area = probe().cardinals(probe().root(), "_NET_WORKAREA");
    if (!frame || area.size() < 4) return false;
    const auto records =
        StoreService::shared().autoLayoutModels(store::Predicate::equals("bundleIdentifier", kTerminal));
    if (!records) return false;
    for (const AutoLayoutModelPtr& r : *records) {
      const XRectangle placed{static_cast<std::int64_t>(area[0] + r->x() * area[2]),
                              static_cast<std::int64_t>(area[1] + r->y() * area[3]),
                              static_cast<std::int64_t>(r->width() * area[2]),
                              static_cast<std::int64_t>(r->height() * area[3])};
      if (r->spaceIndex() == desktop && near(placed, *frame)) return true;
    }
    return false;
  }
  /// The root window as it is now, kept as an artefact.
  QImage screenshot() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }
  /// What the program wrote so far, for failure messages.
  std::string output() {
    readUntil(*program_, "\x01", output_, 0.05);
    return output_;
  }

  /// Starts the test's own Qt and measures where the pane's controls are, on a window that is gone again
  /// before this returns (the program's snapshot must not hold it).
  std::optional<Spots> measurePane() {
    app_.emplace(argc_, argv_);
    StoreService::shared().configureRealm();
    Spots spots = spotsOfTheWorkspacesPane();
    if (!waitUntil([&] {
          QApplication::processEvents();
          return !MeasuredAdvancedWindow::listed(probe());
        }))
      return std::nullopt;
    return spots;
  }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  int argc_ = 1;
  char name_[21] = "spaces_pane_x11_test";
  char* argv_[2] = {name_, nullptr};
  std::optional<QApplication> app_;
  std::unique_ptr<ChildProcess> program_;
  std::string output_;
};

TEST_F(SpacesPaneDesktopTest, ASnapshotTakenInThePaneBringsTwoClosedTerminalsBackOnTheirDesktops) {
  const auto measured = measurePane();
  ASSERT_TRUE(measured);
  const Spots& spots = *measured;

  // The user's terminals, one on desktop 1 and one on desktop 2; closing them is the user's, not the fixture's.
  auto first = ChildProcess::spawn({"xterm", "-T", "Space one", "-geometry", "80x24+100+100"});
  auto second = ChildProcess::spawn({"xterm", "-T", "Space two", "-geometry", "60x20+700+300"});
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(waitUntil([&] { return terminals().size() == 2; }, 15.0));
  for (const auto& [w, desktop] : terminals()) {
    const int target = probe().text(w, "WM_NAME") == "Space one" ? 1 : 2;
    ASSERT_EQ(runCommand({"xdotool", "set_desktop_for_window", std::to_string(w), std::to_string(target)}), 0);
  }
  ASSERT_TRUE(waitUntil([&] { return terminalOn(1) && terminalOn(2); }));

  program_ = startTilvane();
  ASSERT_TRUE(program_);
  ASSERT_TRUE(readUntil(*program_, "menubar update items end", output_, 30.0)) << output_;
  // The program meets a window on a desktop not shown when that desktop is shown: the user looks at both,
  // each until the program remembers its terminal there, then goes back to desktop 0.
  for (const int desktop : {1, 2}) {
    showDesktop(desktop);
    ASSERT_TRUE(waitUntil([&] { return remembered(desktop); }, 15.0)) << "desktop " << desktop << "\n" << output();
  }
  showDesktop(0);
  std::map<std::int64_t, XRectangle> before;  // desktop → frame
  for (const std::int64_t desktop : {1, 2}) before[desktop] = *terminalOn(desktop);

  auto opener = startTilvane({"tilvane://action?target=advanced"});
  ASSERT_TRUE(opener);
  EXPECT_EQ(exitCode(*opener, output_, 10.0), 0) << output();
  std::string window;
  ASSERT_TRUE(waitUntil([&] {
    const auto found = outputOf({"xdotool", "search", "--onlyvisible", "--name", "Tilvane Advanced"});
    if (!found.empty()) window = found.front();
    return !window.empty();
  }, 20.0)) << "no advanced window\n" << output();

  click(window, spots.at("Workspaces"));
  click(window, spots.at("snapshot"));
  std::string id;
  ASSERT_TRUE(waitUntil([&] {
    const auto stored = StoreService::shared().workspaces();
    if (stored.size() == 1 && stored[0]->items().size() == 2) id = stored[0]->id();
    return !id.empty();
  }, 15.0)) << "stored: " << StoreService::shared().workspaces().size() << "\n" << output();
  std::vector<std::int64_t> desktops;
  const auto items = StoreService::shared().workspaces()[0]->items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i]->bundleIdentifier(), kTerminal);
    EXPECT_EQ(items[i]->appPath(), "") << "the item names its application by its identifier alone";
    desktops.push_back(items[i]->spaceIndex());
  }
  std::sort(desktops.begin(), desktops.end());
  EXPECT_EQ(desktops, (std::vector<std::int64_t>{1, 2}));

  // The snapshot showed the desktop never seen (3), then took the user back to desktop 0, where they started it,
  // with the advanced window active and the new workspace selected.
  const auto advanced = static_cast<std::uint32_t>(std::stoul(window));
  EXPECT_TRUE(waitUntil([&] { return probe().currentDesktop() == 0 && probe().activeWindow() == advanced; }))
      << "desktop " << probe().currentDesktop() << ", active " << probe().activeWindow().value_or(0) << "\n"
      << output();
  EXPECT_EQ(probe().desktopOf(advanced), 0);
  click(window, spots.at("first item"));
  settle();
  EXPECT_FALSE(saveArtefact("x11-spaces-pane-" + windowManager(), screenshot()).empty());

  first->terminate();
  second->terminate();
  ASSERT_TRUE(waitUntil([&] { return terminals().empty(); }, 10.0));

  auto handOver = startTilvane({"tilvane://space?id=" + id});
  ASSERT_TRUE(handOver);
  std::string handOverOutput;
  EXPECT_EQ(exitCode(*handOver, handOverOutput, 10.0), 0) << handOverOutput;
  const bool restored = waitUntil([&] {
    const auto found = terminals();
    if (found.size() != 2) return false;
    for (const auto& [w, desktop] : found) {
      const auto it = before.find(desktop);
      const auto frame = probe().frameRect(w);
      if (it == before.end() || !frame || !near(*frame, it->second)) return false;
    }
    return true;
  }, 30.0);
  std::ostringstream seen;
  for (const auto& [w, desktop] : terminals())
    seen << "desktop " << desktop << ": " << probe().frameRect(w).value_or(XRectangle{}) << "\n";
  for (const auto& [desktop, frame] : before) seen << "was on " << desktop << ": " << frame << "\n";
  EXPECT_TRUE(restored) << seen.str() << output();

  // Both restored desktops side by side.
  QImage shots;
  for (const int desktop : {1, 2}) {
    showDesktop(desktop);
    settle();
    const QImage shot = screenshot();
    if (shots.isNull()) {
      shots = QImage(shot.width() * 2, shot.height(), QImage::Format_RGB32);
      shots.fill(Qt::black);
    }
    QPainter(&shots).drawImage((desktop - 1) * shot.width(), 0, shot);
  }
  EXPECT_FALSE(saveArtefact("x11-spaces-restored-" + windowManager(), shots).empty());

  // The restored terminals are the program's children, in sessions of their own.
  for (const auto& [w, desktop] : terminals())
    for (const std::uint32_t pid : probe().cardinals(w, "_NET_WM_PID")) ::kill(static_cast<pid_t>(pid), SIGTERM);
  ::kill(program_->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program_, output_), 0) << output_;
}

// The delete confirmation opens with the keyboard: Escape keeps the selected workspace, Return deletes it.
TEST_F(SpacesPaneDesktopTest, TheDeleteConfirmationAnswersEscapeAndReturnFromTheKeyboard) {
  const auto measured = measurePane();
  ASSERT_TRUE(measured);
  const Spots& spots = *measured;
  const auto database = store::Database::open();
  for (const char* workspace : {"Deleted", "Kept"}) {
    auto stored = std::make_shared<WorkspaceLayoutGroupModel>();
    stored->setName(workspace);
    database->write([&] { database->add(stored); });
  }
  program_ = startTilvane({"tilvane://action?target=advanced"});
  std::optional<std::uint32_t> advanced;
  ASSERT_TRUE(waitUntil([&] { return (advanced = MeasuredAdvancedWindow::listed(probe())).has_value(); }, 20.0))
      << output();
  const std::string window = std::to_string(*advanced);
  click(window, spots.at("Workspaces"));
  click(window, spots.at("first workspace"));
  for (const std::string key : {"Escape", "Return"}) {
    click(window, spots.at("remove"));
    ASSERT_TRUE(waitUntil([&] { return probe().activeWindow().value_or(*advanced) != *advanced; }))
        << key << ": the confirmation did not take the keyboard\n" << output();
    if (key == "Return") saveArtefact("x11-delete-confirmation-" + windowManager(), screenshot());
    ASSERT_EQ(runCommand({"xdotool", "key", key}), 0);
    ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == advanced; })) << key;
    EXPECT_EQ(StoreService::shared().workspaces().size(), key == "Escape" ? 2u : 1u) << key;
  }
  EXPECT_EQ(StoreService::shared().workspaces().at(0)->name(), "Kept");
  ::kill(program_->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program_, output_), 0) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
