// One of the program's own windows brought to the user, as the window manager receives it: the desktop move
// before the one activation, nothing twice although the window is shown and the program activated, and never a
// refusal (the window flagged as demanding attention). The window is a test client's; the requests are the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/desktop/ProgramServer.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::uint32_t kNormalState = 1, kIconicState = 3;

/// The requests about one window that reach the window manager through the root (EWMH client messages, and the
/// synthetic UnmapNotify of a withdrawal), in order, on a connection of its own.
class RootMessages {
 public:
  RootMessages(const std::string& display, xcb_window_t window) : probe_(display), window_(window) {
    const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(probe_.connection(), probe_.root(), XCB_CW_EVENT_MASK, &events);
    probe_.sync();
    names_[probe_.atom("_NET_WM_DESKTOP")] = "desktop";
    names_[probe_.atom("_NET_ACTIVE_WINDOW")] = "activate";
  }
  std::vector<std::string> seen() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(probe_.connection())) {
      const auto* m = reinterpret_cast<const xcb_client_message_event_t*>(event);
      const auto* u = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
      if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && m->window == window_ && names_.count(m->type))
        seen_.push_back(names_[m->type]);
      if (event->response_type == (XCB_UNMAP_NOTIFY | 0x80) && u->window == window_) seen_.push_back("withdraw");
      free(event);
    }
    return seen_;
  }

 private:
  XProbe probe_;
  xcb_window_t window_;
  std::map<xcb_atom_t, std::string> names_;
  std::vector<std::string> seen_;
};

class ProgramServerOnX11Test : public X11BackendTest {
 protected:
  std::uint32_t wmState(xcb_window_t w) {
    const auto state = probe().cardinals(w, "WM_STATE");
    return state.empty() ? 0 : state[0];
  }
  bool flagged(xcb_window_t w) {
    const auto states = probe().cardinals(w, "_NET_WM_STATE");
    return std::count(states.begin(), states.end(), probe().atom("_NET_WM_STATE_DEMANDS_ATTENTION")) > 0;
  }
  bool hidden(xcb_window_t w) {
    const auto states = probe().cardinals(w, "_NET_WM_STATE");
    return std::count(states.begin(), states.end(), probe().atom("_NET_WM_STATE_HIDDEN")) > 0;
  }
  void sendTo(xcb_window_t w, int desktop) {
    ASSERT_EQ(runCommand({"xdotool", "set_desktop_for_window", std::to_string(w), std::to_string(desktop)}), 0);
    ASSERT_TRUE(waitUntil([&] { return probe().desktopOf(w) == desktop; }));
  }
  bool withTheUser(xcb_window_t w) {
    const std::int64_t desktop = probe().desktopOf(w);
    return probe().activeWindow() == w && wmState(w) == kNormalState &&
           (desktop == -1 || desktop == probe().currentDesktop());
  }
};

TEST_F(ProgramServerOnX11Test, AWindowShownAndTheProgramActivatedComesForwardOnceAfterItsDesktopMove) {
  const struct {
    const char* name;
    bool minimised;
    int desktop;
    std::vector<std::string> requests;
  } cases[] = {
      {"behind another", false, 0, {"activate"}},
      {"minimised", true, 0, {"activate"}},
      {"on another desktop", false, 2, {"desktop", "activate"}},
      {"minimised on another desktop", true, 1, {"desktop", "activate"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto& ours = launchClient({"--title", "Ours"});
    auto& other = launchClient({"--title", "Other"});
    const xcb_window_t window = ours.window();
    ASSERT_TRUE(waitUntil([&] { return withTheUser(other.window()) && wmState(window) == kNormalState; }, 20.0));
    // Minimised and sent away in the order the window manager takes: openbox minimises only a window on the
    // desktop shown, fluxbox does not always move a minimised one.
    const bool minimiseFirst = windowManager() == "openbox";
    if (c.desktop != 0 && !minimiseFirst) sendTo(window, c.desktop);
    if (c.minimised) {
      ASSERT_EQ(runCommand({"xdotool", "windowminimize", std::to_string(window)}), 0);
      ASSERT_TRUE(waitUntil([&] { return hidden(window) && wmState(window) == kIconicState; }));
    }
    if (c.desktop != 0 && minimiseFirst) sendTo(window, c.desktop);
    ASSERT_TRUE(probe().syncWindowManager());
    RootMessages messages(display(), window);

    // As the program's own windows do: shown (orderFront), then the program activated.
    desktop().programServer().orderFront(window);
    desktop().programServer().activateIgnoringOtherApps(true);
    EXPECT_TRUE(waitUntil([&] { return withTheUser(window); }, 20.0))
        << "active " << probe().activeWindow().value_or(0) << ", state " << wmState(window) << ", desktop "
        << probe().desktopOf(window);
    // With the user already: asking again sends nothing.
    desktop().programServer().activateIgnoringOtherApps(true);
    ASSERT_TRUE(probe().syncWindowManager());
    catchUp();
    // fluxbox is never asked to move or unminimise a window minimised on another desktop: it is withdrawn and
    // mapped anew.
    const bool remapped = windowManager() == "fluxbox" && c.minimised && c.desktop != 0;
    const std::vector<std::string> expected =
        remapped ? std::vector<std::string>{"withdraw", "activate"} : c.requests;
    EXPECT_EQ(messages.seen(), expected);
    EXPECT_FALSE(flagged(window));
    EXPECT_EQ(probe().currentDesktop(), 0);
    ours.quit();
    other.quit();
    ASSERT_TRUE(waitUntil([&] {
      const auto list = probe().clientList();
      return std::count(list.begin(), list.end(), window) + std::count(list.begin(), list.end(), other.window()) == 0;
    }, 20.0));
  }
}

// The user sends the window away again before the program heard that its activation was granted: the next
// request brings it back rather than taking it for the one on its way.
TEST_F(ProgramServerOnX11Test, AWindowSentAwayWhileItsActivationIsOnItsWayComesBackWhenAskedAgain) {
  auto& ours = launchClient({"--title", "Ours"});
  auto& other = launchClient({"--title", "Other"});
  const xcb_window_t window = ours.window();
  ASSERT_TRUE(waitUntil([&] { return withTheUser(other.window()) && wmState(window) == kNormalState; }, 20.0));
  desktop().programServer().orderFront(window);
  // Nothing of the backend's connection is read meanwhile: the window manager's answers wait in its queue.
  ASSERT_EQ(runCommand({"xdotool", "set_desktop_for_window", std::to_string(window), "2"}), 0);
  ASSERT_TRUE(probe().syncWindowManager());
  ASSERT_EQ(probe().desktopOf(window), 2);
  desktop().programServer().orderFront(window);
  EXPECT_TRUE(waitUntil([&] { return withTheUser(window); }, 20.0))
      << "active " << probe().activeWindow().value_or(0) << ", desktop " << probe().desktopOf(window);
  EXPECT_FALSE(flagged(window));
}

}  // namespace
}  // namespace tilvane::test::x11
