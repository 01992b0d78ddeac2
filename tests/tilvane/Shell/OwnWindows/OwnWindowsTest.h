// The user of Tilvane's own windows on the X test desktop: starts the real program, opens its windows by link,
// minimises them, sends them away, asks for them again by link or through the tray menu, and watches whether the
// window manager ever flagged them as demanding attention. Every wait is for a state of the X server.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "AppManager/Settings/UserDefaultsService.h"
#include "platform/defaults/UserDefaults.h"
#include "support/x11/TestDesktop.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {

constexpr std::uint32_t kNormalState = 1;
constexpr std::uint32_t kIconicState = 3;

/// Every change of a window's _NET_WM_STATE, read as it comes on a connection of its own: a flag the window
/// manager sets and drops a moment later is seen too. Also counts the toolkit's own activations of the window
/// (_NET_ACTIVE_WINDOW from an application, source 1): the program's go out as the user's (source 2), once a
/// request, so one of the toolkit's is an activation nobody asked for.
class AttentionWatch {
 public:
  AttentionWatch(const std::string& display, xcb_window_t window) : probe_(display), window_(window) {
    flag_ = probe_.atom("_NET_WM_STATE_DEMANDS_ATTENTION");
    state_ = probe_.atom("_NET_WM_STATE");
    activate_ = probe_.atom("_NET_ACTIVE_WINDOW");
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(probe_.connection(), window_, XCB_CW_EVENT_MASK, &events);
    // The toolkit sends its activation to the root with the structure mask, a program server with the
    // substructure one.
    const std::uint32_t root = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(probe_.connection(), probe_.root(), XCB_CW_EVENT_MASK, &root);
    probe_.sync();
    look();
  }
  /// Reads what came; the number of times the window was seen flagged so far.
  int flagged() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(probe_.connection())) {
      const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
      const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(event);
      const std::uint8_t type = event->response_type & 0x7f;
      if (type == XCB_PROPERTY_NOTIFY && e->window == window_ && e->atom == state_) look();
      if (type == XCB_CLIENT_MESSAGE && m->window == window_ && m->type == activate_ && m->data.data32[0] == 1)
        ++toolkitActivations_;
      free(event);
    }
    return flagged_;
  }
  /// The toolkit's activations of the window seen so far.
  int toolkitActivations() {
    flagged();
    return toolkitActivations_;
  }

 private:
  void look() {
    const auto states = probe_.cardinals(window_, "_NET_WM_STATE");
    if (std::find(states.begin(), states.end(), flag_) != states.end()) ++flagged_;
  }
  XProbe probe_;
  xcb_window_t window_;
  xcb_atom_t flag_ = 0, state_ = 0, activate_ = 0;
  int flagged_ = 0, toolkitActivations_ = 0;
};

/// How a user keeps asking for a window: cycles, and the seconds between two steps. openbox is the window manager
/// whose refusals were seen; under the others fewer, quicker cycles keep the run short.
struct Pace {
  int cycles;
  double seconds;
};
inline Pace paceUnder(const std::string& windowManager) {
  return windowManager == "openbox" ? Pace{20, 1.0} : Pace{4, 0.3};
}

class OwnWindowsTest : public X11DesktopTest {
 protected:
  void SetUp() override {
    X11DesktopTest::SetUp();
    if (!HasFatalFailure()) pointerAtStart_ = probe().pointer();
  }
  void TearDown() override {
    if (program_) {
      kill(program_->pid(), SIGTERM);
      std::string rest;
      exitCode(*program_, rest, 20.0);
    }
    // The tray is at the bottom edge: a window manager that places new windows under the pointer would put the
    // next test's windows there.
    if (pointerAtStart_)
      runCommand({"xdotool", "mousemove", std::to_string(pointerAtStart_->first),
                  std::to_string(pointerAtStart_->second)});
    X11DesktopTest::TearDown();
  }

  /// Starts the program and waits until its tray menu is built (the whole launch has run).
  void start(bool hideIcon = false) {
    if (hideIcon) defaults::UserDefaults::standard().setInteger(UserDefaultsService::hideInMenuBarKey(), 1);
    program_ = startTilvane();
    ASSERT_TRUE(program_);
    ASSERT_TRUE(readUntil(*program_, "menubar update items end", output_, 30.0)) << output_;
  }

  /// A later start of the program with `args`, which hands them to the running one and ends with 0.
  void startAgain(const std::vector<std::string>& args = {}) {
    auto later = startTilvane(args);
    ASSERT_TRUE(later);
    std::string said;
    ASSERT_EQ(exitCode(*later, said, 20.0), 0) << said;
  }

  std::optional<xcb_window_t> windowTitled(const std::string& title) {
    for (const xcb_window_t w : probe().clientList())
      if (probe().text(w, "_NET_WM_NAME") == title || probe().text(w, "WM_NAME") == title) return w;
    return std::nullopt;
  }

  std::uint32_t wmState(xcb_window_t w) {
    const auto state = probe().cardinals(w, "WM_STATE");
    return state.empty() ? 0 : state[0];
  }

  /// Shown to the user: on the desktop shown (or on all), not minimised, and the active window.
  bool withTheUser(xcb_window_t w) {
    const std::int64_t desktop = probe().desktopOf(w);
    return probe().activeWindow() == w && wmState(w) == kNormalState &&
           (desktop == -1 || desktop == probe().currentDesktop());
  }

  /// Opens the window through its URL and waits until it is with the user.
  xcb_window_t open(const std::string& target, const std::string& title) {
    startAgain({"tilvane://action?target=" + target});
    std::optional<xcb_window_t> window;
    EXPECT_TRUE(
        waitUntil([&] { return (window = windowTitled(title)).has_value() && withTheUser(*window); }, 20.0))
        << title << "\n"
        << output_;
    return window.value_or(0);
  }

  /// The user's acts are done once: the program sends nothing after a window has come forward, so nothing of
  /// its undoes them, however late it runs.
  void minimise(xcb_window_t w) {
    ASSERT_EQ(runCommand({"xdotool", "windowminimize", std::to_string(w)}), 0);
    ASSERT_TRUE(waitUntil([&] { return wmState(w) == kIconicState; }))
        << "not minimised: WM_STATE " << wmState(w) << ", active window "
        << probe().activeWindow().value_or(0) << ", desktop " << probe().desktopOf(w) << " of "
        << probe().currentDesktop();
  }

  /// Leaves the window on desktop `away` and the user on desktop `here` (0-based), still so once the window
  /// manager has handled all that came before.
  void leaveAway(xcb_window_t w, int away, int here) {
    ASSERT_EQ(runCommand({"xdotool", "set_desktop_for_window", std::to_string(w), std::to_string(away)}), 0);
    probe().switchDesktop(here);
    const auto leftAway = [&] {
      return probe().desktopOf(w) == away && probe().currentDesktop() == here && !withTheUser(w);
    };
    ASSERT_TRUE(waitUntil(leftAway) && probe().syncWindowManager() && leftAway()) << "not left away";
  }

  /// Chooses the tray menu entry `fromBottom` places above the menu's end ("Quit" is 1) until `done` holds.
  /// The toolkit closes a menu opened within a tenth of a second after the program lost the focus (here to the
  /// minimise or desktop move just before), as it would for a user that quick: the user then opens it again.
  /// Nothing else is done twice: a second choice would be a second request.
  void chooseFromTray(int fromBottom, const std::function<bool()>& done) {
    static const std::regex row(
        R"(^\s*(0x[0-9a-f]+) .*\("tilvane" "Tilvane"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
    std::optional<std::pair<int, int>> icon;
    ASSERT_TRUE(waitUntil([&] {
      for (const std::string& line : outputOf({"xwininfo", "-root", "-tree"})) {
        std::smatch m;
        if (std::regex_search(line, m, row) && std::stoi(m[3]) <= 64)
          icon = {std::stoi(m[4]) + std::stoi(m[2]) / 2, std::stoi(m[5]) + std::stoi(m[3]) / 2};
      }
      return icon.has_value();
    })) << "no tray icon";
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (const auto open = openMenu()) runCommand({"xdotool", "key", "--window", *open, "Escape"});
      ASSERT_TRUE(waitUntil([&] { return !openMenu(); }));
      ASSERT_EQ(runCommand({"xdotool", "mousemove", std::to_string(icon->first), std::to_string(icon->second),
                            "click", "3"}),
                0);
      std::optional<std::string> menu;
      if (!waitUntil([&] { return (menu = openMenu()).has_value(); }, 2.0)) continue;
      // Still open once the toolkit's tenth of a second is over.
      waitUntil([] { return false; }, 0.2);
      if (!openMenu()) continue;
      // The keys go to the menu's own window: typed at the keyboard they would reach it only once it has
      // grabbed the keyboard, which nothing on the server shows, and before that whichever window has the focus.
      std::vector<std::string> keys{"xdotool", "key", "--window", *menu, "--delay", "30"};
      for (int i = 0; i < fromBottom; ++i) keys.push_back("Up");
      keys.push_back("Return");
      runCommand(keys);  // fails on the release of Return: the chosen entry closed the menu, and its window
      if (waitUntil(done, 5.0)) return;
    }
    FAIL() << "not brought back through the tray menu";
  }

  /// The program's open menu: a viewable window named as the program, taller than a tray icon.
  std::optional<std::string> openMenu() {
    static const std::regex height(R"(^\s*Height:\s*(\d+))");
    for (const std::string& id : outputOf({"xdotool", "search", "--onlyvisible", "--name", "^Tilvane$"})) {
      for (const std::string& line : outputOf({"xwininfo", "-id", id})) {
        std::smatch m;
        if (std::regex_search(line, m, height) && std::stoi(m[1]) > 100) return id;
      }
    }
    return std::nullopt;
  }

  /// Waits until the window is with the user again, and says how long that took.
  void expectBroughtBack(xcb_window_t w, const std::string& road) {
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitUntil([&] { return withTheUser(w); }, 15.0))
        << road << ": active " << probe().activeWindow().value_or(0) << ", state " << wmState(w) << ", desktop "
        << probe().desktopOf(w) << " of " << probe().currentDesktop() << "\n"
        << output_;
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    RecordProperty(road, std::to_string(took));
  }

  /// The window of `target` opened, then sent to another desktop and asked for again by `road` (the URL, or the
  /// tray menu's entry `trayEntry` places above its end) at the pace of a user: back every time, with the user,
  /// on the desktop shown, and never flagged as demanding attention (a refused activation).
  void sendAwayAndAskAgain(const std::string& target, const std::string& title, int trayEntry, const Pace& pace) {
    start();
    const xcb_window_t window = open(target, title);
    ASSERT_NE(window, 0u);
    AttentionWatch watch(display(), window);
    setPump([&] { watch.flagged(); });
    const auto step = [&] { waitUntil([] { return false; }, pace.seconds); };
    for (int cycle = 1; cycle <= pace.cycles && !HasFatalFailure(); ++cycle) {
      leaveAway(window, 2, 0);
      step();
      const int flaggedBefore = watch.flagged();
      const std::string road = (trayEntry ? "tray " : "url ") + std::to_string(cycle);
      if (trayEntry) {
        chooseFromTray(trayEntry, [&] { return withTheUser(window); });
      } else {
        startAgain({"tilvane://action?target=" + target});
      }
      expectBroughtBack(window, road);
      EXPECT_EQ(probe().currentDesktop(), 0) << road;
      EXPECT_EQ(watch.flagged(), flaggedBefore) << road << ": flagged as demanding attention";
      step();
    }
    EXPECT_EQ(watch.flagged(), 0);
  }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};  // the program's own Qt, on the X display
  std::unique_ptr<ChildProcess> program_;
  std::string output_;
  std::optional<std::pair<int, int>> pointerAtStart_;
};

}  // namespace tilvane::test::x11
