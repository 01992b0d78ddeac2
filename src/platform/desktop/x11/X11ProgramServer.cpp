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
  // A key window the user closed stays closed: activation only brings back one that is still shown.
  if (key_) bringForward(*key_);
}

void X11ProgramServer::orderFront(std::uint64_t windowNumber) {
  const auto window = static_cast<xcb_window_t>(windowNumber);
  if (window == XCB_WINDOW_NONE) return;
  key_ = window;
  waiting_.reset();
  if (!bringForward(window)) waiting_ = window;
}

void X11ProgramServer::clientListChanged() {
  if (!waiting_) return;
  if (bringForward(*waiting_)) waiting_.reset();
}

bool X11ProgramServer::bringForward(xcb_window_t window) {
  const Atoms& a = x_.atoms();
  const auto state = decodeFirst(readProperty(x_, window, a.WM_STATE, 8), a.WM_STATE);
  const FrontRequests requests = frontRequestsFor(state, queryWindowDesktop(x_, window), queryDesktops(x_).current);
  if (requests.notManagedYet) return false;
  if (requests.map) xcb_map_window(x_.get(), window);
  if (requests.moveToDesktop) sendClientMessage(x_, window, a._NET_WM_DESKTOP, *requests.moveToDesktop, kSourceUser);
  const auto active = queryActiveWindow(x_);
  sendClientMessage(x_, window, a._NET_ACTIVE_WINDOW, kSourceUser, XCB_CURRENT_TIME, active.value_or(XCB_WINDOW_NONE));
  x_.flush();
  return true;
}

}  // namespace tilvane::x11
