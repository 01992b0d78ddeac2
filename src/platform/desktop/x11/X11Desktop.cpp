#include "platform/desktop/x11/X11Desktop.h"

#include <xcb/randr.h>

#include "platform/desktop/x11/WindowProperties.h"

namespace tilvane::x11 {

std::unique_ptr<X11Desktop> X11Desktop::connect(const std::string& display, std::string* error) {
  auto x = XConnection::open(display, error);
  if (!x) return nullptr;
  return adopt(std::move(x));
}

std::unique_ptr<X11Desktop> X11Desktop::adopt(std::unique_ptr<XConnection> connection) {
  if (!connection) return nullptr;
  return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(connection)));
}

X11Desktop::X11Desktop(std::unique_ptr<XConnection> x)
    : x_(std::move(x)),
      displayServer_(*x_, properties_),
      eventTap_(*x_, [this](int position) { return position >= 1 && switchToDesktop(static_cast<std::uint32_t>(position - 1)); }),
      applications_(*x_, properties_, center_, [this] { return displayServer_.layout().space().primary(); }) {
  // The root's own changes (properties, size) and those of its children: the window manager's frames.
  const std::uint32_t rootEvents =
      XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(x_->get(), x_->root(), XCB_CW_EVENT_MASK, &rootEvents);
  if (x_->hasRandr()) {
    if (const xcb_query_extension_reply_t* randr = xcb_get_extension_data(x_->get(), &xcb_randr_id))
      randrEventBase_ = randr->first_event;
    xcb_randr_select_input(x_->get(), x_->root(),
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY);
  }
  x_->flush();
  currentDesktop_ = queryDesktops(*x_).current;
  displays_ = displaySignature();
  applications_.start();
  center_.windowDidAppear()
      .subscribe([this](const NSRunningApplication& application) { launcher_.windowAppeared(application); })
      .disposed(windowsAppearing_);
  pump_ = std::make_unique<EventPump>(
      *x_, [this](const xcb_generic_event_t& e) { handle(e); }, [this] { endOfBatch(); },
      [this] { onConnectionLost(); });
}

X11Desktop::~X11Desktop() = default;

bool X11Desktop::canMoveWindows() { return !lost_ && checkWindowManager().usable; }

std::string X11Desktop::trustProblem() {
  if (lost_) return "The connection to the X server was lost.";
  return checkWindowManager().problem;
}

bool X11Desktop::switchToDesktop(std::uint32_t n) {
  if (lost_ || n >= displayServer_.desktops().count) return false;
  requestCurrentDesktop(*x_, n);
  return true;
}

std::optional<std::uint32_t> X11Desktop::windowDesktop(CGWindowID window) const {
  return queryWindowDesktop(*x_, window);
}

void X11Desktop::handle(const xcb_generic_event_t& event) {
  const std::uint8_t type = event.response_type & 0x7f;
  if (type == 0) return;  // an error of a request whose answer nobody waits for (e.g. a vanished window)
  if (keyboardEvents_ && (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE || type == XCB_MAPPING_NOTIFY))
    keyboardEvents_(event);
  if (type == XCB_MAPPING_NOTIFY)
    eventTap_.keyboardMappingChanged(reinterpret_cast<const xcb_mapping_notify_event_t&>(event));
  applications_.handle(event);
  if (program_.handle(event)) DesktopNotificationCenter::post(center_.compositingDidChange());
  if (type == XCB_PROPERTY_NOTIFY) {
    const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
    const Atoms& a = x_->atoms();
    if (e.window != x_->root()) {
      // A dock's reserved edges shape the usable areas even where the window manager keeps no work area.
      if (e.atom == a._NET_WM_STRUT || e.atom == a._NET_WM_STRUT_PARTIAL) {
        displaysMayHaveChanged_ = true;
        displayServer_.displaysMayHaveChanged();
      }
      return;
    }
    if (e.atom == a._NET_CURRENT_DESKTOP) desktopMayHaveChanged_ = true;
    if (e.atom == a._NET_CLIENT_LIST) program_.clientListChanged();
    // The work area is the desktop's: another desktop may keep other panels.
    if (e.atom == a._NET_WORKAREA || e.atom == a._NET_CURRENT_DESKTOP) displaysMayHaveChanged_ = true;
    // A dock that comes or goes brings or takes its strut.
    if (e.atom == a._NET_WORKAREA || e.atom == a._NET_CLIENT_LIST || e.atom == a._NET_CURRENT_DESKTOP)
      displayServer_.displaysMayHaveChanged();
    return;
  }
  if (type == XCB_CONFIGURE_NOTIFY) {
    const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
    if (e.window == x_->root()) {
      displaysMayHaveChanged_ = true;
      displayServer_.displaysMayHaveChanged();
    }
    return;
  }
  if (randrEventBase_ != 0 &&
      (type == randrEventBase_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randrEventBase_ + XCB_RANDR_NOTIFY)) {
    displaysMayHaveChanged_ = true;
    displayServer_.displaysMayHaveChanged();
  }
}

void X11Desktop::endOfBatch() {
  applications_.endOfBatch();
  if (desktopMayHaveChanged_) {
    desktopMayHaveChanged_ = false;
    const auto current = displayServer_.desktops().current;
    if (current != currentDesktop_) {
      currentDesktop_ = current;
      DesktopNotificationCenter::post(center_.activeSpaceDidChange());
    }
  }
  if (displaysMayHaveChanged_) {
    displaysMayHaveChanged_ = false;
    auto now = displaySignature();
    if (now != displays_) {
      displays_ = std::move(now);
      DesktopNotificationCenter::post(center_.screenParametersDidChange());
    }
  }
}

std::vector<std::pair<std::string, NSScreen>> X11Desktop::displaySignature() const {
  const ScreenLayout& l = displayServer_.layout();
  const auto screens = l.screens();
  std::vector<std::pair<std::string, NSScreen>> signature;
  for (std::size_t i = 0; i < screens.size(); ++i) signature.emplace_back(l.displays()[i].uuid, screens[i]);
  return signature;
}

void X11Desktop::onConnectionLost() {
  if (lost_) return;
  lost_ = true;
  DesktopNotificationCenter::post(connectionLost_, "lost the connection to the X display \"" + x_->displayName() + "\"");
}

}  // namespace tilvane::x11
