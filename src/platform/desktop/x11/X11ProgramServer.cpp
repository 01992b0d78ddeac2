#include "platform/desktop/x11/X11ProgramServer.h"

#include "platform/desktop/x11/Ewmh.h"
#include "platform/desktop/x11/Properties.h"
#include "platform/desktop/x11/WindowProperties.h"

namespace tilvane::x11 {
namespace {

// ICCCM WM_STATE values.
constexpr std::uint32_t kWithdrawnState = 0;
constexpr std::uint32_t kIconicState = 3;
// EWMH source indication: a request made on the user's direct behalf (the user chose a menu entry, started the
// program again, opened its address), which window managers honour without focus-stealing checks.
constexpr std::uint32_t kSourceUser = 2;

}  // namespace

FrontRequests frontRequestsFor(std::optional<std::uint32_t> wmState, std::optional<std::uint32_t> windowDesktop,
                               std::optional<std::uint32_t> currentDesktop) {
  FrontRequests requests;
  if (!wmState || *wmState == kWithdrawnState) {
    requests.notManagedYet = true;
    return requests;
  }
  requests.map = *wmState == kIconicState;
  if (currentDesktop && windowDesktop && *windowDesktop != kAllDesktops && *windowDesktop != *currentDesktop)
    requests.moveToDesktop = currentDesktop;
  return requests;
}

void X11ProgramServer::activateIgnoringOtherApps(bool) {
  // The latest window is still being mapped: it comes forward once managed, and no older one goes before it.
  if (waiting_ && !fronted_.empty() && fronted_.front() == *waiting_) return;
  // A window the user closed stays closed: activation brings back the latest one still shown.
  for (const xcb_window_t window : fronted_)
    if (bringForward(window)) return;
}

void X11ProgramServer::orderFront(std::uint64_t windowNumber) {
  constexpr std::size_t kRemembered = 8;
  const auto window = static_cast<xcb_window_t>(windowNumber);
  if (window == XCB_WINDOW_NONE) return;
  std::erase(fronted_, window);
  fronted_.insert(fronted_.begin(), window);
  if (fronted_.size() > kRemembered) fronted_.pop_back();
  waiting_.reset();
  if (!bringForward(window)) waiting_ = window;
}

void X11ProgramServer::clientListChanged() {
  if (!waiting_) return;
  if (bringForward(*waiting_, true)) waiting_.reset();
}

bool X11ProgramServer::bringForward(xcb_window_t window, bool newlyManaged) {
  const Atoms& a = x_.atoms();
  const auto state = decodeFirst(readProperty(x_, window, a.WM_STATE, 8), a.WM_STATE);
  const FrontRequests requests = frontRequestsFor(state, queryWindowDesktop(x_, window), queryDesktops(x_).current);
  if (requests.notManagedYet) return false;
  // A window is mapped on the desktop shown: one found minimised or elsewhere by the time its mapping is seen
  // was put there since, by the user, and stays.
  if (newlyManaged && (requests.map || requests.moveToDesktop)) return true;
  if (requests.map) xcb_map_window(x_.get(), window);
  if (requests.moveToDesktop) sendClientMessage(x_, window, a._NET_WM_DESKTOP, *requests.moveToDesktop, kSourceUser);
  const auto active = queryActiveWindow(x_);
  sendClientMessage(x_, window, a._NET_ACTIVE_WINDOW, kSourceUser, XCB_CURRENT_TIME, active.value_or(XCB_WINDOW_NONE));
  x_.flush();
  return true;
}

}  // namespace tilvane::x11
