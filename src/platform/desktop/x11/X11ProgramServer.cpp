#include "platform/desktop/x11/X11ProgramServer.h"

#include <algorithm>

#include "platform/desktop/x11/Ewmh.h"
#include "platform/desktop/x11/Properties.h"
#include "platform/desktop/x11/WindowManagerCheck.h"
#include "platform/desktop/x11/WindowProperties.h"

namespace tilvane::x11 {
namespace {

// ICCCM WM_STATE values.
constexpr std::uint32_t kWithdrawnState = 0;
// EWMH source indication: a request made on the user's direct behalf (the user chose a menu entry, started the
// program again, opened its address), which window managers honour without focus-stealing checks.
constexpr std::uint32_t kSourceUser = 2;

}  // namespace

bool remapsMinimisedElsewhere(const std::string& windowManager) {
  // fluxbox 1.3 unminimises a window of another desktop only halfway and then refuses every later unminimise of
  // it; and a minimised window moved to a desktop is listed on it without leaving the desktop it was moved from
  // before, a stale entry it crashes on once the window is gone.
  return windowManager == "Fluxbox";
}

FrontRequests frontRequestsFor(std::optional<std::uint32_t> wmState, bool minimised,
                               std::optional<std::uint32_t> windowDesktop,
                               std::optional<std::uint32_t> currentDesktop, bool remapMinimisedElsewhere) {
  FrontRequests requests;
  if (!wmState || *wmState == kWithdrawnState) {
    requests.notManagedYet = true;
    return requests;
  }
  // Window managers iconify the windows of other desktops too (WM_STATE alone does not tell): the desktop move
  // shows those.
  requests.map = minimised;
  if (!isOnDesktop(windowDesktop, currentDesktop)) requests.moveToDesktop = currentDesktop;
  requests.remap = remapMinimisedElsewhere && requests.map && requests.moveToDesktop;
  return requests;
}

void X11ProgramServer::activateIgnoringOtherApps(bool) {
  // A window on its way forward is the latest: it comes once, and no older one goes before it.
  if (stillOnItsWay()) return;
  // The latest window is still being mapped: it comes forward once managed.
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
  if (fronting_ && fronting_->window == window && stillOnItsWay()) return;
  endFronting();
  if (!bringForward(window)) waiting_ = window;
}

void X11ProgramServer::clientListChanged() {
  if (fronting_) advance();
  if (!waiting_) return;
  if (bringForward(*waiting_, true)) waiting_.reset();
}

bool X11ProgramServer::handle(const xcb_generic_event_t& event) {
  const bool compositing = compositor_.handle(event);
  if (!fronting_) return compositing;
  const Atoms& a = x_.atoms();
  const std::uint8_t type = event.response_type & 0x7f;
  if (type == XCB_DESTROY_NOTIFY) {
    const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
    if (e.window == fronting_->window) endFronting();
  } else if (type == XCB_PROPERTY_NOTIFY) {
    const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    const bool window = e.window == fronting_->window &&
                        (e.atom == a.WM_STATE || e.atom == a._NET_WM_STATE || e.atom == a._NET_WM_DESKTOP);
    const bool root = e.window == x_.root() && (e.atom == a._NET_CURRENT_DESKTOP || e.atom == a._NET_ACTIVE_WINDOW);
    if (window || root) advance();
  }
  return compositing;
}

bool X11ProgramServer::bringForward(xcb_window_t window, bool newlyManaged) {
  listenTo(window);
  const FrontRequests requests = requestsFor(window, remapsMinimisedElsewhere(checkWindowManager(x_).name));
  if (requests.notManagedYet) return false;
  // A window is mapped on the desktop shown: one found minimised or elsewhere by the time its mapping is seen
  // was put there since, by the user, and stays.
  if (newlyManaged && !requests.shown()) return true;
  if (requests.shown()) {
    // With the user already: nothing to ask.
    if (queryActiveWindow(x_) != window) activate(window);
    return true;
  }
  if (requests.remap) {
    withdraw(window, *requests.moveToDesktop);
    return true;
  }
  // The move first: a window manager then unminimises the window where the user is.
  if (requests.moveToDesktop)
    sendClientMessage(x_, window, x_.atoms()._NET_WM_DESKTOP, *requests.moveToDesktop, kSourceUser);
  if (requests.map) xcb_map_window(x_.get(), window);
  x_.flush();
  fronting_ = Fronting{window, Step::showing};
  deadline_.schedule(kShowWait, [this] { waitEnded(); });
  return true;
}

FrontRequests X11ProgramServer::requestsFor(xcb_window_t window, bool remapMinimisedElsewhere) const {
  const Atoms& a = x_.atoms();
  PropertyRequest icccmRequest(x_, window, a.WM_STATE, 8);
  PropertyRequest netStateRequest(x_, window, a._NET_WM_STATE, kMaxStateBytes);
  PropertyRequest desktopRequest(x_, window, a._NET_WM_DESKTOP, 4);
  const auto current = queryDesktops(x_).current;
  const auto icccm = icccmRequest.get();
  const auto desktop = desktopRequest.get();
  return frontRequestsFor(
      decodeFirst(icccm, a.WM_STATE), minimizedFrom(netStateRequest.get(), icccm, desktop, current, a),
      decodeFirst(desktop, XCB_ATOM_CARDINAL), current, remapMinimisedElsewhere);
}

void X11ProgramServer::activate(xcb_window_t window) {
  const auto active = queryActiveWindow(x_);
  sendClientMessage(x_, window, x_.atoms()._NET_ACTIVE_WINDOW, kSourceUser, XCB_CURRENT_TIME,
                    active.value_or(XCB_WINDOW_NONE));
  // Not every window manager raises the window it activates.
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(x_.get(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  x_.flush();
  fronting_ = Fronting{window, Step::activating};
  deadline_.schedule(kActivationWait, [this] { endFronting(); });
}

void X11ProgramServer::withdraw(xcb_window_t window, std::uint32_t desktop) {
  // ICCCM 4.1.4: an unmap, and the synthetic UnmapNotify that tells the window manager of a window unmapped
  // already (a minimised one is).
  xcb_unmap_window(x_.get(), window);
  xcb_unmap_notify_event_t unmap{};
  unmap.response_type = XCB_UNMAP_NOTIFY;
  unmap.event = x_.root();
  unmap.window = window;
  xcb_send_event(x_.get(), 0, x_.root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&unmap));
  x_.flush();
  fronting_ = Fronting{window, Step::withdrawing, desktop};
  deadline_.schedule(kShowWait, [this] { waitEnded(); });
}

bool X11ProgramServer::withdrawn(xcb_window_t window) const {
  const auto state = decodeFirst(readProperty(x_, window, x_.atoms().WM_STATE, 8), x_.atoms().WM_STATE);
  if (!state || *state == kWithdrawnState) return true;
  const auto clients = queryClientList(x_);
  return std::find(clients.begin(), clients.end(), window) == clients.end();
}

void X11ProgramServer::mapAnew(xcb_window_t window, std::uint32_t desktop) {
  // The desktop a new window asks for; the window manager removed the old one at the withdrawal, or should have.
  xcb_change_property(x_.get(), XCB_PROP_MODE_REPLACE, window, x_.atoms()._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 32,
                      1, &desktop);
  xcb_map_window(x_.get(), window);
  x_.flush();
  fronting_ = Fronting{window, Step::showing, desktop, true};
  deadline_.schedule(kShowWait, [this] { waitEnded(); });
}

void X11ProgramServer::advance() {
  const Fronting fronting = *fronting_;
  switch (fronting.step) {
    case Step::activating:
      if (queryActiveWindow(x_) == fronting.window) endFronting();
      return;
    case Step::withdrawing:
      if (withdrawn(fronting.window)) mapAnew(fronting.window, fronting.desktop);
      return;
    case Step::showing: {
      const FrontRequests requests = requestsFor(fronting.window);
      // Closed meanwhile: it stays closed. A window mapped anew is not managed until the window manager takes it.
      if (requests.notManagedYet && !fronting.remapped) return endFronting();
      if (requests.shown()) activate(fronting.window);
      return;
    }
  }
}

void X11ProgramServer::waitEnded() {
  if (!fronting_) return;
  const Fronting fronting = *fronting_;
  if (fronting.step == Step::withdrawing) {
    // A window the window manager let go of without a word is never left unmapped; one it kept stays where it is.
    if (withdrawn(fronting.window)) return mapAnew(fronting.window, fronting.desktop);
  } else if (fronting.step == Step::showing && requestsFor(fronting.window).shown()) {
    // Shown here without a word from the window manager. One it has not shown by now was refused, or sent away
    // by the user since: an activation now would come late, and a window manager flags a window it does not
    // show.
    if (queryActiveWindow(x_) != fronting.window) return activate(fronting.window);
  }
  endFronting();
}

bool X11ProgramServer::stillOnItsWay() {
  if (!fronting_) return false;
  // Asked to let go of it or to show it here: the window manager's answer, or the deadline, takes it on.
  if (fronting_->step != Step::activating) return true;
  // The activation went out; the window manager may have made it active without saying so again (it was
  // already), or the user may have sent it away since: only a window shown here and not active yet is waiting.
  const xcb_window_t window = fronting_->window;
  if (requestsFor(window).shown() && queryActiveWindow(x_) != window) return true;
  endFronting();
  return false;
}

void X11ProgramServer::endFronting() {
  fronting_.reset();
  deadline_.cancel();
}

void X11ProgramServer::listenTo(xcb_window_t window) {
  // Other parts of the backend listen on this connection too: add to what it selects, never replace it.
  constexpr std::uint32_t kNeeded = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  const auto reply = x_.reply(xcb_get_window_attributes_reply, xcb_get_window_attributes(x_.get(), window));
  if (!reply) return;
  const std::uint32_t mask = reply->your_event_mask;
  if ((mask & kNeeded) == kNeeded) return;
  const std::uint32_t wanted = mask | kNeeded;
  xcb_change_window_attributes(x_.get(), window, XCB_CW_EVENT_MASK, &wanted);
}

}  // namespace tilvane::x11
