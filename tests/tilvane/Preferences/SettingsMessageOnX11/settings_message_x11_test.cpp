// The message a damaged settings file brings at start, on the 1280x800 display of the unequal test desktop (the
// first display, where messages show): the window lies wholly on that display and its one line is drawn whole,
// the text's painted extent inside the window with room to spare. A screenshot is kept as an artefact.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>

#include "platform/defaults/UserDefaults.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

namespace fs = std::filesystem;

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

/// The program's message window: its one shown window wider than a tray icon.
std::optional<Geometry> messageWindow() {
  static const std::regex field(R"(^\s*(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s+(-?\d+))");
  for (const std::string& id : outputOf({"xdotool", "search", "--onlyvisible", "--classname", "tilvane"})) {
    Geometry found;
    for (const std::string& line : outputOf({"xwininfo", "-id", id})) {
      std::smatch m;
      if (!std::regex_search(line, m, field)) continue;
      const int value = std::stoi(m[2]);
      const std::string name = m[1];
      if (name == "Absolute upper-left X") found.x = value;
      if (name == "Absolute upper-left Y") found.y = value;
      if (name == "Width") found.width = value;
      if (name == "Height") found.height = value;
    }
    if (found.width > 100) return found;
  }
  return std::nullopt;
}

/// The columns of `image` (inside `inset` pixels of its edges) where light text is drawn: first and last.
std::optional<std::pair<int, int>> textColumns(const QImage& image, int inset) {
  std::optional<std::pair<int, int>> columns;
  for (int x = inset; x < image.width() - inset; ++x) {
    for (int y = inset; y < image.height() - inset; ++y) {
      if (qGray(image.pixel(x, y)) < 160) continue;
      columns = columns ? std::pair{columns->first, x} : std::pair{x, x};
      break;
    }
  }
  return columns;
}

class SettingsMessageTest : public X11DesktopTest {
 protected:
  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  std::string output_;
};

TEST_F(SettingsMessageTest, TheDamageMessageLiesWhollyOnALaptopDisplayAndItsTextIsNotCut) {
  const fs::path file = defaults::UserDefaults::defaultFilePath();
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>gutter";

  auto program = ChildProcess::spawn({"sh", "-c", "exec \"$0\" \"$@\" 2>&1", TILVANE_BINARY_PATH});
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, "menubar update items end", output_, 30.0)) << output_;
  std::optional<Geometry> window;
  ASSERT_TRUE(waitUntil([&] { return (window = messageWindow()).has_value(); }, 10.0)) << "no message\n" << output_;
  waitUntil([] { return false; }, 0.5);  // faded in
  window = messageWindow();
  ASSERT_TRUE(window) << output_;

  EXPECT_GE(window->x, 0);
  EXPECT_GE(window->y, 0);
  EXPECT_LE(window->x + window->width, 1280) << "past the display's right edge";
  EXPECT_LE(window->y + window->height, 800);

  const std::string shot = std::string(TILVANE_ARTEFACT_DIR) + "/x11-settings-message-1280x800-" + windowManager() +
                           ".png";
  ASSERT_EQ(runCommand({"import", "-window", "root", shot}), 0);
  const QImage screen(QString::fromStdString(shot));
  ASSERT_FALSE(screen.isNull());
  const QImage message = screen.copy(window->x, window->y, window->width, window->height);
  // Inside the border; the text has 20 pixels around it, so a line cut by the window reaches its edges.
  const auto columns = textColumns(message, 4);
  ASSERT_TRUE(columns) << "no text drawn";
  EXPECT_GE(columns->first, 12) << "the text runs into the window's left edge";
  EXPECT_LE(columns->second, window->width - 13) << "the text runs into the window's right edge";
  EXPECT_GT(columns->second - columns->first, window->width / 2) << "the line does not fill its window";
}

}  // namespace
}  // namespace tilvane::test::x11
