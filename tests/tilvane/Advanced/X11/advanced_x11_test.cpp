// The advanced window on the X test desktop as a user meets it: opened through tilvane://action?target=advanced,
// a layout added on the Layouts pane, made fixed, drawn as the right half of a 2 × 1 grid and given Ctrl+Alt+R,
// all with xdotool; then Ctrl+Alt+R on a focused terminal moves it to the right half. Where to click is read off
// the same window built here on the same display. A screenshot of the window is kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "AppManager/Store/StoreService.h"
#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"
#include "CustomLayout/Qt/QtCustomLayoutListView.h"
#include "Models/CustomLayoutModel.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Advanced/X11/MeasuredAdvancedWindow.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

/// Where the user clicks, in the advanced window's own pixels.
using Spots = std::map<std::string, QPoint>;

/// Builds the advanced window here (same code, display and fonts as the program), shows its Layouts pane with a
/// fixed 2 × 1 layout and reads where each control stands. Nothing is stored.
Spots spotsOfTheAdvancedWindow() {
  Spots spots;
  MeasuredAdvancedWindow measured(2);
  spots["Layouts"] = measured.centre(measured.window().paneButtons().at(2));
  auto& list = measured.advanced().layouts().customLayoutViewController();
  auto* listView = dynamic_cast<QtCustomLayoutListView*>(list.view());
  spots["add"] = measured.centre(listView->addButton());
  auto& editor = list.deatilViewController();
  auto layout = std::make_shared<CustomLayoutModel>();
  layout->setType(1);
  layout->setWidth(2);
  layout->setHeight(1);
  editor.showLayout(layout);
  MeasuredAdvancedWindow::settle();
  auto* detail = dynamic_cast<QtCustomLayoutDetailView*>(editor.view());
  spots["type"] = measured.centre(detail->rulePopUpButton());
  spots["rows"] = measured.centre(detail->rowPopUpButton());
  spots["columns"] = measured.centre(detail->columnPopUpButton());
  const MatrixRect* right = editor.fixPositionMatrixView().cellAt(0, 1);
  spots["right cell"] = measured.at(detail->fixPositionMatrixView(),
                                    QPoint(static_cast<int>(right->frame().origin.x + right->frame().size.width / 2),
                                           static_cast<int>(right->frame().size.height / 2)));
  // The recorder's field is its left part; its clear button is at the right end.
  const QWidget* recorder = detail->shortcutButton();
  spots["recorder"] = measured.at(recorder, QPoint(recorder->width() / 3, 12));
  return spots;
}

class AdvancedWindowDesktopTest : public X11DesktopTest {
 protected:
  /// Clicks at `spot` of the window `id`.
  void click(const std::string& id, const QPoint& spot) {
    ASSERT_EQ(runCommand({"xdotool", "mousemove", "--window", id, std::to_string(spot.x()), std::to_string(spot.y()),
                          "click", "1"}),
              0);
    pause(0.6);
  }
  void keys(std::vector<std::string> names) {
    std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
    argv.insert(argv.end(), names.begin(), names.end());
    ASSERT_EQ(runCommand(argv), 0);
    pause(0.6);
  }
  void pause(double seconds) { waitUntil([] { return false; }, seconds); }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  std::string output_;
};

TEST_F(AdvancedWindowDesktopTest, ALayoutMadeInTheWindowMovesTheFocusedTerminalByItsNewHotKey) {
  int argc = 1;
  char name[] = "advanced_x11_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  StoreService::shared().configureRealm();
  const Spots spots = spotsOfTheAdvancedWindow();

  spawn({"xterm", "-name", "advancedtarget", "-T", "Advanced target", "-geometry", "80x24+100+100"});
  std::optional<std::uint32_t> xterm;
  ASSERT_TRUE(waitUntil([&] {
    for (const std::uint32_t w : probe().clientList())
      if (probe().text(w, "WM_NAME") == "Advanced target") xterm = w;
    return xterm.has_value();
  }));
  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, "menubar update items end", output_, 30.0)) << output_;

  auto opener = startTilvane({"tilvane://action?target=advanced"});
  ASSERT_TRUE(opener);
  EXPECT_EQ(exitCode(*opener, output_, 10.0), 0) << output_;
  std::string window;
  ASSERT_TRUE(waitUntil([&] {
    const auto found = outputOf({"xdotool", "search", "--onlyvisible", "--name", "Tilvane Advanced"});
    if (!found.empty()) window = found.front();
    return !window.empty();
  }, 20.0)) << "no advanced window\n" << output_;
  pause(0.5);

  click(window, spots.at("Layouts"));
  click(window, spots.at("add"));
  click(window, spots.at("type"));
  keys({"Down", "Return"});  // "Disabled" → "FixedPositionAndSize": a 4 × 4 grid
  click(window, spots.at("rows"));
  keys({"Up", "Up", "Up", "Return"});  // 4 → 1
  click(window, spots.at("columns"));
  keys({"Up", "Up", "Return"});  // 4 → 2
  click(window, spots.at("right cell"));  // the rectangle's first cell …
  pause(0.4);
  click(window, spots.at("right cell"));  // … and its last
  click(window, spots.at("recorder"));
  keys({"ctrl+alt+r"});
  EXPECT_EQ(runCommand({"import", "-window", window, std::string(TILVANE_ARTEFACT_DIR) + "/x11-advanced-layouts.png"}),
            0);

  // The program writes its store on its own time: wait until the layout holds its hot key.
  std::vector<CustomLayoutModelPtr> stored;
  EXPECT_TRUE(waitUntil([&] {
    stored = StoreService::shared().customLayouts();
    return stored.size() == 1 && stored[0]->keyCode() == 15;
  }, 15.0)) << output_;
  ASSERT_EQ(stored.size(), 1u) << output_;
  EXPECT_EQ(stored[0]->type(), 1);
  EXPECT_EQ(stored[0]->width(), 2);
  EXPECT_EQ(stored[0]->height(), 1);
  EXPECT_EQ(stored[0]->matrixValue(), 0b01);
  EXPECT_EQ(stored[0]->keyCode(), 15);
  EXPECT_EQ(stored[0]->modifierFlags(), 0xC0000);

  ASSERT_EQ(runCommand({"xdotool", "windowactivate", "--sync", std::to_string(*xterm)}), 0);
  pause(0.3);
  ASSERT_EQ(runCommand({"xdotool", "key", "ctrl+alt+r"}), 0);
  // The right half of the display above the 24-pixel tray; a terminal keeps to whole character cells.
  EXPECT_TRUE(waitUntil([&] {
    const auto frame = probe().frameRect(*xterm);
    return frame && frame->x == 960 && frame->y == 0 && frame->width > 900 && frame->width <= 960 &&
           frame->height > 1000 && frame->height <= 1056;
  }, 15.0)) << probe().frameRect(*xterm).value_or(XRectangle{}) << "\n" << output_;
  EXPECT_EQ(runCommand({"import", "-window", "root", std::string(TILVANE_ARTEFACT_DIR) + "/x11-advanced-moved.png"}), 0);

  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output_), 0) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
