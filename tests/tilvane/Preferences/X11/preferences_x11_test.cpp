// The program on the X test desktop as a user meets it: a hot key stored under "layoutShortcut" opens the
// chooser over the focused terminal from start-up, pressed with xdotool, and the tray menu's "Preferences"
// entry opens the preferences window. Screenshots of both are kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/XdgPaths.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

/// The visible windows of the program taller than 100 pixels (not the tray icon); with `name`, those of that name.
std::vector<std::uint32_t> visibleProgramWindows(const std::string& name = {}) {
  std::vector<std::string> argv{"xdotool", "search", "--onlyvisible", "--classname", "tilvane"};
  if (!name.empty()) argv = {"xdotool", "search", "--onlyvisible", "--name", name};
  std::vector<std::uint32_t> windows;
  for (const std::string& id : outputOf(argv)) {
    const std::uint32_t window = static_cast<std::uint32_t>(std::stoul(id));
    for (const std::string& line : outputOf({"xdotool", "getwindowgeometry", id})) {
      const auto at = line.find("Geometry: ");
      if (at == std::string::npos) continue;
      const int height = std::stoi(line.substr(line.find('x', at) + 1));
      if (height > 100) windows.push_back(window);
    }
  }
  return windows;
}

class PreferencesDesktopTest : public X11DesktopTest {
 protected:
  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  std::string output_;
};

TEST_F(PreferencesDesktopTest, AStoredHotKeyOpensTheChooserAndTheTrayMenuOpensThePreferences) {
  // Ctrl+Alt+L under "layoutShortcut", as the Hot keys pane's recorder stores it.
  const std::filesystem::path settings = xdg::configHome() / "Tilvane" / "defaults.plist";
  std::filesystem::create_directories(settings.parent_path());
  std::ofstream(settings) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>layoutShortcut</key><dict><key>keyCode</key><integer>37</integer>
<key>modifierFlags</key><integer>786432</integer></dict></dict></plist>
)";
  spawn({"xterm", "-name", "prefshotkey", "-T", "Hot key target", "-geometry", "80x24+500+300"});
  std::optional<std::uint32_t> xterm;
  ASSERT_TRUE(waitUntil([&] {
    for (const std::uint32_t w : probe().clientList())
      if (probe().text(w, "WM_NAME") == "Hot key target") xterm = w;
    return xterm.has_value();
  }));
  ASSERT_EQ(runCommand({"xdotool", "windowactivate", "--sync", std::to_string(*xterm)}), 0);

  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, "menubar update items end", output_, 30.0)) << output_;
  EXPECT_TRUE(visibleProgramWindows().empty());

  ASSERT_EQ(runCommand({"xdotool", "key", "ctrl+alt+l"}), 0);
  ASSERT_TRUE(waitUntil([] { return !visibleProgramWindows().empty(); })) << "no chooser\n" << output_;
  waitUntil([] { return false; }, 0.3);  // let it paint
  EXPECT_EQ(runCommand({"import", "-window", "root", std::string(TILVANE_ARTEFACT_DIR) + "/x11-hotkey-chooser.png"}), 0);
  ASSERT_TRUE(waitUntil([] { return visibleProgramWindows().empty(); }, 5.0)) << "the chooser closes by itself";

  // The tray menu: from the bottom, "Quit", "Feedback", "CheckForUpdate", "Guide", then "Preferences".
  std::optional<std::uint32_t> icon;
  for (const std::string& id : outputOf({"xdotool", "search", "--classname", "tilvane"})) {
    for (const std::string& line : outputOf({"xdotool", "getwindowgeometry", id}))
      if (line.find("Geometry: 22x22") != std::string::npos) icon = static_cast<std::uint32_t>(std::stoul(id));
  }
  ASSERT_TRUE(icon) << "no tray icon";
  // A click that comes while the tray is still settling is lost, as a user's would be: click again then.
  bool menuOpen = false;
  for (int attempt = 0; attempt < 3 && !menuOpen; ++attempt) {
    ASSERT_EQ(runCommand({"xdotool", "mousemove", "--window", std::to_string(*icon), "11", "11", "click", "3"}), 0);
    menuOpen = waitUntil([] { return !visibleProgramWindows().empty(); }, 3.0);
  }
  ASSERT_TRUE(menuOpen) << "the menu did not open";
  // The keys go to the menu's own window: typed at the keyboard they would reach it only once it has grabbed the
  // keyboard, which nothing on the server shows. The release of Return may find the window gone: not checked.
  const std::string menu = std::to_string(visibleProgramWindows().front());
  runCommand({"xdotool", "key", "--window", menu, "--delay", "40", "Up", "Up", "Up", "Up", "Up", "Return"});
  const bool shown = waitUntil([] { return !visibleProgramWindows("Tilvane Preferences").empty(); }, 15.0);
  if (!shown) kill(program->pid(), SIGTERM);
  ASSERT_TRUE(shown) << (exitCode(*program, output_), output_);
  waitUntil([] { return false; }, 0.3);
  EXPECT_EQ(runCommand({"import", "-window", "root", std::string(TILVANE_ARTEFACT_DIR) + "/x11-preferences.png"}), 0);

  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output_), 0) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
