// The tray menu on the X test desktop, as a user meets it: the program's icon sits in the tray (trayer, an
// XEmbed tray), its menu opens from the icon, and choosing "LeftHalf" puts the focused terminal on the left
// half of the display. A screenshot of the open menu is kept as an artefact.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/x11/TestDesktop.h"
#include "tilvane/Shell/MenuBar/Tray/TrayWindows.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

class TrayMenuTest : public X11DesktopTest {
 protected:
  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};  // the program's own Qt, on the X display
  std::string output_;
};

TEST_F(TrayMenuTest, TheIconSitsInTheTrayAndItsMenuPutsTheFocusedTerminalOnTheLeftHalf) {
  ChildProcess& terminal = spawn({"xterm", "-name", "traymenu", "-T", "Tray menu", "-geometry", "80x24+500+300"});
  (void)terminal;
  std::optional<std::uint32_t> xterm;
  ASSERT_TRUE(waitUntil([&] {
    for (const std::uint32_t w : probe().clientList())
      if (probe().text(w, "WM_NAME") == "Tray menu") xterm = w;
    return xterm.has_value();
  }));
  ASSERT_EQ(runCommand({"xdotool", "windowactivate", "--sync", std::to_string(*xterm)}), 0);

  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, "menubar update items end", output_, 30.0)) << output_;

  std::optional<Placed> icon;
  ASSERT_TRUE(waitUntil([&] { return (icon = findTilvaneWindow(true)).has_value(); })) << "no icon under trayer";
  EXPECT_LE(icon->width, 32);

  const std::string x = std::to_string(icon->x + icon->width / 2);
  const std::string y = std::to_string(icon->y + icon->height / 2);
  ASSERT_EQ(runCommand({"xdotool", "mousemove", x, y, "click", "3"}), 0);
  std::optional<Placed> menu;
  ASSERT_TRUE(waitUntil([&] { return (menu = findTilvaneWindow(false)).has_value(); })) << "the menu did not open";
  waitUntil([] { return false; }, 0.3);  // let it paint
  const std::string shot = std::string(TILVANE_ARTEFACT_DIR) + "/tray-menu.png";
  EXPECT_EQ(runCommand({"import", "-window", "root", shot}), 0) << shot;

  // With nothing stored the selectable entries run: the switch, "LayoutAll", then the ten placements.
  // The keys go to the menu's own window: typed at the keyboard they would reach it only once it has grabbed the
  // keyboard, and before that the focused terminal would take them. The release of Return may find the window
  // gone: not checked.
  std::vector<std::string> keys{"xdotool", "key", "--window", std::to_string(menu->window), "--delay", "30"};
  for (int i = 0; i < 7; ++i) keys.push_back("Down");  // to "LeftHalf"
  keys.push_back("Return");
  runCommand(keys);

  // The left half of the display above the 24-pixel tray; a terminal keeps to whole character cells.
  ASSERT_TRUE(waitUntil([&] {
    const auto frame = probe().frameRect(*xterm);
    return frame && frame->x == 0 && frame->y == 0 && frame->width > 900 && frame->width <= 960 &&
           frame->height > 1000 && frame->height <= 1056;
  })) << probe().frameRect(*xterm).value_or(XRectangle{}) << "\n" << output_;

  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output_), 0) << output_;
  EXPECT_EQ(output_.find("no system tray"), std::string::npos) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
