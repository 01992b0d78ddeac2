// The announcement as a user meets it on the X test desktop: the program, pointed at a local server, pings the
// analytics page at start, fetches the announcement 10 s after its start and opens the popover by the tray
// icon; "✕" closes it. A screenshot of the open popover is kept as an artefact.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "AppManager/Settings/BundleVersion.h"
#include "support/http/TestHttpServer.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

struct Placed {
  std::string id;
  int x = 0, y = 0, width = 0, height = 0;
};

/// The program's windows of `width` x `height` (any size when 0), with their places on the root.
std::vector<Placed> programWindows(int width = 0, int height = 0) {
  static const std::regex row(R"(^\s*(0x[0-9a-f]+) .*\("tilvane" "Tilvane"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
  std::vector<Placed> found;
  for (const std::string& line : outputOf({"xwininfo", "-root", "-tree"})) {
    std::smatch m;
    if (!std::regex_search(line, m, row)) continue;
    const Placed placed{m[1], std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[2]), std::stoi(m[3])};
    if ((width == 0 || placed.width == width) && (height == 0 || placed.height == height)) found.push_back(placed);
  }
  return found;
}

bool isViewable(const std::string& window) {
  for (const std::string& line : outputOf({"xwininfo", "-id", window}))
    if (line.find("Map State: IsViewable") != std::string::npos) return true;
  return false;
}

class NotificationPopoverX11Test : public X11DesktopTest {
 protected:
  TestHttpServer server_;
  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  ScopedEnv home_{"TILVANE_HOME_URL", server_.url("/")};
  ScopedEnv feed_{"TILVANE_REMOTE_NOTIFICATION_URL", server_.url("/notification/remote")};
  std::string output_;
};

TEST_F(NotificationPopoverX11Test, TheAnnouncementOpensUnderTheTrayIconAndTheCrossClosesIt) {
  ASSERT_TRUE(server_.started()) << server_.error();
  server_.setReply("/analytics.html", ScriptedReply::ok("<html></html>", "text/html"));
  server_.setReply("/notification/remote",
                   ScriptedReply::ok(R"({"id":"e2e","title":"Tilvane 2 remembers the desktop of every window",)"
                                     R"("url":")" + server_.url("/news") + R"("})"));
  auto program = startTilvane();
  ASSERT_TRUE(program);
  ASSERT_TRUE(readUntil(*program, "menubar update items end", output_, 30.0)) << output_;

  // The analytics ping went out at start; the announcement comes 10 s after the trusted set-up.
  ASSERT_TRUE(server_.waitForRequests(1));
  EXPECT_EQ(server_.requests()[0].target, "/analytics.html?" + BundleVersion::main().build.value_or(""));
  ASSERT_TRUE(server_.waitForRequests(2, 20.0)) << output_;
  const RecordedRequest feed = server_.requests()[1];
  EXPECT_EQ(feed.path, "/notification/remote");
  EXPECT_TRUE(std::regex_match(feed.query, std::regex(R"(^\d{10}(\.\d{1,5})?$)"))) << feed.query;

  std::optional<Placed> icon;
  for (const Placed& window : programWindows())
    if (window.width <= 32 && window.height <= 32) icon = window;
  ASSERT_TRUE(icon) << "no tray icon";
  // By the icon: right above or below it, and reaching over its middle. The window manager may show the
  // window elsewhere for a moment before it stands where it was asked to.
  const auto byTheIcon = [&](const Placed& popover) {
    const int middle = icon->x + icon->width / 2;
    return (popover.y == icon->y + icon->height || popover.y + popover.height == icon->y) && popover.x <= middle &&
           middle < popover.x + popover.width;
  };
  std::optional<Placed> popover;
  ASSERT_TRUE(waitUntil(
      [&] {
        popover.reset();
        for (const Placed& window : programWindows(600, 60))
          if (isViewable(window.id)) popover = window;
        return popover && byTheIcon(*popover);
      },
      10.0))
      << (popover ? "the popover stands at " + std::to_string(popover->x) + "," + std::to_string(popover->y) +
                        ", the icon at " + std::to_string(icon->x) + "," + std::to_string(icon->y)
                  : "no 600 x 60 window of the program")
      << "\n" << output_;

  waitUntil([] { return false; }, 0.3);  // let it paint
  const std::string shot = std::string(TILVANE_ARTEFACT_DIR) + "/notification-popover.png";
  EXPECT_EQ(runCommand({"import", "-window", "root", shot}), 0) << shot;

  // "✕" sits 2 pixels in from the top right corner.
  ASSERT_EQ(runCommand({"xdotool", "mousemove", std::to_string(popover->x + 600 - 11),
                        std::to_string(popover->y + 11), "click", "1"}),
            0);
  EXPECT_TRUE(waitUntil([&] { return !isViewable(popover->id); })) << "the popover stayed open";

  kill(program->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program, output_), 0) << output_;
  EXPECT_EQ(server_.requestCount(), 2u) << "the link was followed or a request repeated";
  EXPECT_EQ(output_.find("Remote Notification Request -> Error"), std::string::npos) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
