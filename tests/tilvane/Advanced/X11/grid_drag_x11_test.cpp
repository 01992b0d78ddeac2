// A grid editor drawn the way many users try first: on the Layouts pane of the program's advanced window,
// xdotool presses on the left cell of a stored 2 × 1 fixed layout, drags to the right cell and releases; the
// layout is stored as the whole grid. Where to press is read off the same window built here; every wait is for
// the stored value.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <regex>

#include "AppManager/Store/StoreService.h"
#include "CustomLayout/Qt/QtCustomLayoutDetailView.h"
#include "CustomLayout/Qt/QtCustomLayoutListView.h"
#include "Models/CustomLayoutModel.h"
#include "platform/store/Database.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Advanced/X11/MeasuredAdvancedWindow.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

class GridDragDesktopTest : public X11DesktopTest {
 protected:
  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  std::string output_;
};

std::int64_t storedValue() {
  const auto stored = StoreService::shared().customLayouts();
  return stored.size() == 1 ? stored[0]->matrixValue() : -2;
}

TEST_F(GridDragDesktopTest, APressDragAndReleaseOnTheGridStoresTheRectangle) {
  int argc = 1;
  char name[] = "advanced_x11_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  StoreService::shared().configureRealm();
  auto layout = std::make_shared<CustomLayoutModel>();
  layout->setName("Dragged");
  layout->setType(1);  // fixed
  layout->setWidth(2);
  layout->setHeight(1);
  layout->setMatrixValue(0);
  {
    const auto database = store::Database::open();
    database->write([&] { database->add(layout, store::UpdatePolicy::all); });
  }

  QPoint pane, row, left, right;
  {
    MeasuredAdvancedWindow measured(2);
    pane = measured.centre(measured.window().paneButtons().at(2));
    auto& list = measured.advanced().layouts().customLayoutViewController();
    const QTableWidget* table = dynamic_cast<QtCustomLayoutListView*>(list.view())->tableView();
    row = measured.at(table->viewport(), table->visualRect(table->model()->index(0, 0)).center());
    auto& editor = list.deatilViewController();
    editor.showLayout(layout);
    MeasuredAdvancedWindow::settle();
    auto* detail = dynamic_cast<QtCustomLayoutDetailView*>(editor.view());
    const auto centreOf = [&](std::size_t column) {
      const CGRect frame = editor.fixPositionMatrixView().cellAt(0, column)->frame();
      return measured.at(detail->fixPositionMatrixView(),
                         QPoint(static_cast<int>(frame.origin.x + frame.size.width / 2),
                                static_cast<int>(frame.origin.y + frame.size.height / 2)));
    };
    left = centreOf(0);
    right = centreOf(1);
  }
  // That window must be gone before the program's own is looked for.
  ASSERT_TRUE(waitUntil([&] {
    QApplication::processEvents();
    return !MeasuredAdvancedWindow::listed(probe());
  }));

  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, "menubar update items end", output_, 30.0)) << output_;
  auto opener = startTilvane({"tilvane://action?target=advanced"});
  ASSERT_TRUE(opener);
  EXPECT_EQ(exitCode(*opener, output_, 10.0), 0) << output_;
  std::optional<std::uint32_t> window;
  ASSERT_TRUE(waitUntil([&] {
    window = MeasuredAdvancedWindow::listed(probe());
    return window && probe().activeWindow() == window;
  }, 20.0)) << "no advanced window\n" << output_;
  const std::string id = std::to_string(*window);
  const auto at = [&](const QPoint& p) {
    return std::vector<std::string>{"mousemove", "--window", id, std::to_string(p.x()), std::to_string(p.y())};
  };

  // The pane and the row are chosen by clicks whose effect shows only on screen: they are repeated until the
  // grid's left cell is drawn (blue over the pane's grey). The drag itself is made once: a second press would
  // end the choice as a click does.
  const auto bluish = [&](const QPoint& p) {
    const auto lines = outputOf({"import", "-window", id, "-crop", "1x1+" + std::to_string(p.x()) + "+" +
                                                              std::to_string(p.y()), "txt:-"});
    // "0,0: (r,g,b) ..." in the depth of the first line's range (255 or 65535).
    static const std::regex colour(R"(: \((\d+),(\d+),(\d+))");
    static const std::regex range(R"(,(\d+),\w+$)");
    std::smatch m, r;
    if (lines.size() < 2 || !std::regex_search(lines[1], m, colour) || !std::regex_search(lines[0], r, range))
      return false;
    const double full = std::stod(r[1]);
    return (std::stod(m[3]) - std::stod(m[1])) / full > 0.04;
  };
  bool shown = false;
  for (int attempt = 0; attempt < 5 && !shown; ++attempt) {
    std::vector<std::string> argv{"xdotool"};
    for (const QPoint& p : {pane, row}) {
      const auto move = at(p);
      argv.insert(argv.end(), move.begin(), move.end());
      argv.insert(argv.end(), {"click", "1"});
    }
    ASSERT_EQ(runCommand(argv), 0);
    shown = waitUntil([&] { return bluish(left); }, 3.0);
  }
  ASSERT_TRUE(shown) << "the layout's grid is not on screen\n" << output_;
  std::vector<std::string> drag{"xdotool"};
  const auto press = at(left);
  drag.insert(drag.end(), press.begin(), press.end());
  drag.insert(drag.end(), {"mousedown", "1"});
  const QPoint middle((left.x() + right.x()) / 2, left.y());
  for (const QPoint& p : {middle, right}) {
    const auto move = at(p);
    drag.insert(drag.end(), move.begin(), move.end());
  }
  drag.insert(drag.end(), {"mouseup", "1"});
  ASSERT_EQ(runCommand(drag), 0);
  waitUntil([] { return storedValue() == 0b11; });
  EXPECT_EQ(storedValue(), 0b11) << "the whole 2 x 1 grid\n" << output_;
  EXPECT_EQ(runCommand({"import", "-window", id, std::string(TILVANE_ARTEFACT_DIR) + "/x11-grid-dragged.png"}), 0);

  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output_), 0) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
