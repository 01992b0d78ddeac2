#include "platform/desktop/x11/X11Applications.h"

#include <unistd.h>

#include <algorithm>
#include <tuple>
#include <cmath>
#include <filesystem>

#include "platform/apps/DesktopEntryFile.h"
#include "platform/desktop/NSBundle.h"
#include "platform/desktop/x11/CoordinateSpace.h"
#include "platform/desktop/x11/Ewmh.h"
#include "platform/desktop/x11/Properties.h"
#include "platform/desktop/x11/SizeHints.h"
#include "platform/desktop/x11/WindowOwner.h"
#include "platform/desktop/x11/WindowProperties.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {
namespace {
constexpr int kMaxTreeDepth = 16;
constexpr std::uint32_t kSourcePager = 2;  // EWMH: requests on the user's behalf (pagers, tiling tools)
constexpr std::uint32_t kMoveResizeX = 1u << 8, kMoveResizeY = 1u << 9, kMoveResizeWidth = 1u << 10,
                        kMoveResizeHeight = 1u << 11;
constexpr std::uint32_t kStateRemove = 0;
constexpr double kMaxExtent = 32767;
constexpr double kSettleSeconds = 1.0;  // how long an un-maximised window's decoration may take to change
constexpr double kRequestSeconds = 0.5;  // how long a move request counts before the server shows it

std::int64_t roundedExtent(double v) { return static_cast<std::int64_t>(std::clamp(std::round(v), 1.0, kMaxExtent)); }
}  // namespace

X11Applications::X11Applications(const XConnection& x, PropertyCache& properties, DesktopNotificationCenter& center,
                                 std::function<PixelRect()> primary)
    : x_(x),
      center_(center),
      primary_(std::move(primary)),
      hostName_(localHostName()),
      ownPid_(getpid()),
      properties_(properties),
      clientRects_(x),
      self_(std::make_shared<X11Applications*>(this)) {}

X11Applications::~X11Applications() = default;

void X11Applications::start() {
  const auto supported =
      decodeList(readProperty(x_, x_.root(), x_.atoms()._NET_SUPPORTED, kMaxListBytes), XCB_ATOM_ATOM);
  hasMoveResize_ = supported && std::find(supported->begin(), supported->end(), x_.atoms()._NET_MOVERESIZE_WINDOW) !=
                                    supported->end();
  syncClientList(false);
}

// --- events ---

void X11Applications::handle(const xcb_generic_event_t& event) {
  switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
      const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(event);
      const Atoms& a = x_.atoms();
      if (e.window == x_.root() || clients_.count(e.window)) properties_.changed(e.window, e.atom);
      if (e.window == x_.root()) {
        if (e.atom == a._NET_CLIENT_LIST) clientListDirty_ = true;
      } else if (clients_.count(e.window)) {
        if (e.atom == a._NET_WM_STATE || e.atom == a.WM_STATE || e.atom == a._NET_WM_DESKTOP) stateDirty_.insert(e.window);
        if (e.atom == a._NET_FRAME_EXTENTS || e.atom == a._GTK_FRAME_EXTENTS) geometryDirty_.insert(e.window);
      }
      break;
    }
    case XCB_CONFIGURE_NOTIFY: {
      const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
      if (clients_.count(e.window)) {
        geometryDirty_.insert(e.window);
        clientRects_.forget(e.window);
      }
      if (const auto it = frameToClient_.find(e.window); it != frameToClient_.end()) {
        geometryDirty_.insert(it->second);
        clientRects_.forget(it->second);
      }
      break;
    }
    case XCB_REPARENT_NOTIFY: {
      const auto& e = reinterpret_cast<const xcb_reparent_notify_event_t&>(event);
      if (clients_.count(e.window)) {
        reparented_.insert(e.window);
        clientRects_.forget(e.window);
      }
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto& e = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
      if (e.window == e.event && clients_.count(e.window)) untrack(e.window, true);
      break;
    }
    default:
      break;
  }
}

void X11Applications::endOfBatch() {
  if (clientListDirty_) {
    clientListDirty_ = false;
    syncClientList(true);
  }
  for (const xcb_window_t w : std::exchange(reparented_, {}))
    if (auto it = clients_.find(w); it != clients_.end()) {
      findFrame(w, it->second);
      geometryDirty_.insert(w);
    }
  settleUnmaximized();
  for (const xcb_window_t w : std::exchange(geometryDirty_, {})) checkGeometry(w);
  for (const xcb_window_t w : std::exchange(stateDirty_, {})) checkState(w);
}

// --- tracking ---

std::vector<xcb_window_t> X11Applications::readClientList() const {
  return queryClientList(x_);
}

void X11Applications::syncClientList(bool notify) {
  const std::vector<xcb_window_t> list = readClientList();
  const std::set<xcb_window_t> listed(list.begin(), list.end());
  std::vector<xcb_window_t> gone;
  for (const auto& [w, client] : clients_)
    if (!listed.count(w)) gone.push_back(w);
  for (const xcb_window_t w : gone) untrack(w, notify);
  for (const xcb_window_t w : list)
    if (!clients_.count(w)) track(w, notify);
  clientOrder_.clear();
  for (const xcb_window_t w : list)
    if (clients_.count(w) && std::find(clientOrder_.begin(), clientOrder_.end(), w) == clientOrder_.end())
      clientOrder_.push_back(w);
}

void X11Applications::track(xcb_window_t window, bool notify) {
  // Listen first, then read: a change between the two is seen as an event rather than lost.
  const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(x_.get(), window, XCB_CW_EVENT_MASK, &events);
  Client client;
  client.visible = freshVisibleFrame(window);
  if (!client.visible) {  // gone already
    properties_.forget(window);
    return;
  }
  client.pid = queryWindowPid(x_, window, hostName_);
  client.minimized = queryMinimized(x_, window, currentDesktop());
  client.desktop = windowDesktop(window);
  findFrame(window, client);
  clients_[window] = client;
  if (!client.pid) return;
  const NSRunningApplication application = applicationFor(*client.pid, window, notify).info;
  if (!notify) return;
  observers_.post(*client.pid, kAXWindowCreatedNotification, AXUIElementCreateApplication(*client.pid),
                  windowElement(window, *client.pid));
  DesktopNotificationCenter::post(center_.windowDidAppear(), application);
}

void X11Applications::untrack(xcb_window_t window, bool notify) {
  const auto it = clients_.find(window);
  if (it == clients_.end()) return;
  const Client client = it->second;
  clients_.erase(it);
  std::erase(clientOrder_, window);
  geometryDirty_.erase(window);
  stateDirty_.erase(window);
  reparented_.erase(window);
  settling_.erase(window);
  requested_.erase(window);
  properties_.forget(window);
  clientRects_.forget(window);
  if (client.frame != window) frameToClient_.erase(client.frame);
  if (!client.pid) return;
  if (notify) {
    const AXUIElement element = windowElement(window, *client.pid);
    observers_.post(*client.pid, kAXUIElementDestroyedNotification, element, element);
  }
  const auto app = applications_.find(*client.pid);
  if (app == applications_.end() || app->second.exitWatch) return;
  // Without a watch on the process, an application ends with its last window.
  const bool hasWindows = std::any_of(clients_.begin(), clients_.end(),
                                      [&](const auto& entry) { return entry.second.pid == client.pid; });
  if (!hasWindows) applicationEnded(*client.pid);
}

void X11Applications::findFrame(xcb_window_t window, Client& client) {
  if (client.frame != XCB_WINDOW_NONE && client.frame != window) frameToClient_.erase(client.frame);
  xcb_window_t current = window;
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    auto tree = x_.reply(xcb_query_tree_reply, xcb_query_tree(x_.get(), current));
    if (!tree || tree->parent == x_.root() || tree->parent == XCB_WINDOW_NONE) break;
    current = tree->parent;
  }
  client.frame = current;
  if (current != window) frameToClient_[current] = window;
}

bool X11Applications::present(xcb_window_t window) const {
  if (knownStateReads_ > 0) return clients_.count(window) > 0;
  return clientRects_.get(window).has_value();
}

std::optional<PixelRect> X11Applications::visibleFrame(xcb_window_t window) const {
  if (knownStateReads_ > 0) {
    const auto it = clients_.find(window);
    return it == clients_.end() ? std::nullopt : it->second.visible;
  }
  const auto client = clientRects_.get(window);
  if (!client) return std::nullopt;
  return margins(window).visibleFrame(*client);
}

std::optional<PixelRect> X11Applications::freshVisibleFrame(xcb_window_t window) {
  const auto client = clientRects_.refresh(window);
  if (!client) return std::nullopt;
  return margins(window).visibleFrame(*client);
}

PixelRect X11Applications::expectedFrame(xcb_window_t window, const FrameMargins& used, PixelRect visible) const {
  const PixelRect asked = used.request(visible);
  const auto [width, height] =
      sizeHintsFrom(properties_.get(window, XCB_ATOM_WM_NORMAL_HINTS, kNormalHintsBytes)).constrain(asked.width, asked.height);
  visible.width += width - asked.width;
  visible.height += height - asked.height;
  return visible;
}

FrameMargins X11Applications::margins(xcb_window_t window) const {
  const auto v = properties_.get(window, {{x_.atoms()._NET_FRAME_EXTENTS, kFrameExtentsBytes},
                                          {x_.atoms()._GTK_FRAME_EXTENTS, kGtkFrameExtentsBytes}});
  return frameMarginsFrom(v[0], v[1]);
}

std::optional<std::uint32_t> X11Applications::windowDesktop(xcb_window_t window) const {
  return decodeFirst(properties_.get(window, x_.atoms()._NET_WM_DESKTOP, 4), XCB_ATOM_CARDINAL);
}

bool X11Applications::minimized(xcb_window_t window) const {
  const Atoms& a = x_.atoms();
  const auto v = properties_.get(window, {{a._NET_WM_STATE, kMaxStateBytes}, {a.WM_STATE, 8}, {a._NET_WM_DESKTOP, 4}});
  return minimizedFrom(v[0], v[1], v[2], currentDesktop(), a);
}

bool X11Applications::maximized(xcb_window_t window) const {
  return maximizedFrom(properties_.get(window, x_.atoms()._NET_WM_STATE, kMaxStateBytes), x_.atoms());
}

bool X11Applications::movable(xcb_window_t window) const {
  const auto v = properties_.get(
      window, {{x_.atoms()._NET_WM_ALLOWED_ACTIONS, kMaxStateBytes}, {x_.atoms()._NET_WM_WINDOW_TYPE, kMaxTypeBytes}});
  // xfwm4 takes moving and resizing out of the allowed actions of a window on a desktop not shown, yet moves it
  // when asked: there the list says nothing.
  if (!isOnDesktop(windowDesktop(window), currentDesktop())) return movableFrom(std::nullopt, v[1], x_.atoms());
  return movableFrom(v[0], v[1], x_.atoms());
}

X11Applications::Application& X11Applications::applicationFor(pid_t pid, xcb_window_t firstWindow, bool notify) {
  if (auto it = applications_.find(pid); it != applications_.end()) return it->second;
  Application app;
  app.info.processIdentifier = pid;
  const auto wmClass = queryWmClass(x_, firstWindow);
  std::error_code unreadable;
  if (const auto program = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", unreadable);
      !unreadable)
    app.info.executableURL = program.string();
  if (pid == ownPid_) {
    app.info.bundleIdentifier = NSBundle::mainBundleIdentifier();
    app.info.localizedName = std::string("Tilvane");
  } else if (wmClass) {
    const apps::DesktopEntry* entry = desktopEntries().match(wmClass->className, wmClass->instance);
    app.info.bundleIdentifier = entry ? entry->id : wmClass->className;
    app.info.localizedName = entry && !entry->name.empty() ? entry->name : wmClass->className;
  }
  // No presence among the user's applications: its first window is a dock, desktop or the like, or stays off
  // the task bar.
  const auto states =
      decodeList(readProperty(x_, firstWindow, x_.atoms()._NET_WM_STATE, 256), XCB_ATOM_ATOM, 64).value_or(
          std::vector<std::uint32_t>{});
  const bool skipsTaskbar = x_.atoms()._NET_WM_STATE_SKIP_TASKBAR != XCB_ATOM_NONE &&
                            std::find(states.begin(), states.end(), x_.atoms()._NET_WM_STATE_SKIP_TASKBAR) != states.end();
  app.info.isAgent = skipsTaskbar || querySubrole(x_, firstWindow) == "AXUnknown";
  std::weak_ptr<X11Applications*> weak = self_;
  app.exitWatch = ProcessExitWatch::watch(pid, [weak, pid] {
    if (auto self = weak.lock()) (*self)->applicationEnded(pid);
  });
  const NSRunningApplication info = app.info;
  applicationOrder_.push_back(pid);
  Application& stored = applications_.emplace(pid, std::move(app)).first->second;
  if (notify) DesktopNotificationCenter::post(center_.didLaunchApplication(), NSWorkspaceApplicationNotification{info});
  return stored;
}

void X11Applications::applicationEnded(pid_t pid) {
  const auto it = applications_.find(pid);
  if (it == applications_.end()) return;
  const NSRunningApplication info = it->second.info;
  applications_.erase(it);
  std::erase(applicationOrder_, pid);
  DesktopNotificationCenter::post(center_.didTerminateApplication(), NSWorkspaceApplicationNotification{info});
  // A process that ends takes its observers with it, once what was already reported has been delivered.
  std::weak_ptr<X11Applications*> weak = self_;
  dispatch::MainQueue::async([weak, pid] {
    if (auto self = weak.lock())
      if (!(*self)->applications_.count(pid)) (*self)->observers_.removeProcess(pid);
  });
}

void X11Applications::checkGeometry(xcb_window_t window) {
  const auto it = clients_.find(window);
  if (it == clients_.end()) return;
  Client& client = it->second;
  const auto now = freshVisibleFrame(window);
  if (!now) return;
  const auto before = client.visible;
  client.visible = now;
  // A request the server now shows (or that ran out) no longer stands over the real frame.
  // Field by field: a place shown while the size is still on its way must not hide a move someone makes next.
  if (const auto r = requested_.find(window); r != requested_.end()) {
    Requested& q = r->second;
    for (auto [asked, shown] : {std::pair{&q.x, now->x}, {&q.y, now->y}})
      if (*asked == shown) asked->reset();
    // A size the window manager answered otherwise than expected (not rounded to the client's steps, or rounded
    // its own way) is the size; a window being un-maximised passes through sizes of its own first.
    const PixelRect from = q.from.value_or(*now);
    const bool settles = settling_.count(window) > 0;
    for (auto [asked, shown, was] : {std::tuple{&q.width, now->width, from.width}, {&q.height, now->height, from.height}})
      if (*asked == shown || (shown != was && !settles)) asked->reset();
    if (!q.width) q.askedWidth.reset();
    if (!q.height) q.askedHeight.reset();
    if ((!q.x && !q.y && !q.width && !q.height) || dispatch::MainQueue::clock().now() > q.until) requested_.erase(r);
  }
  if (!client.pid || !before) return;
  const AXUIElement app = AXUIElementCreateApplication(*client.pid);
  const AXUIElement element = windowElement(window, *client.pid);
  if (now->x != before->x || now->y != before->y) observers_.post(*client.pid, kAXWindowMovedNotification, app, element);
  if (now->width != before->width || now->height != before->height)
    observers_.post(*client.pid, kAXWindowResizedNotification, app, element);
}

void X11Applications::checkState(xcb_window_t window) {
  const auto it = clients_.find(window);
  if (it == clients_.end()) return;
  Client& client = it->second;
  const bool now = minimized(window);
  const bool restored = client.minimized && !now;
  client.minimized = now;
  const auto desktop = windowDesktop(window);
  const bool moved = desktop != client.desktop;
  client.desktop = desktop;
  if (!client.pid) return;
  const AXUIElement app = AXUIElementCreateApplication(*client.pid);
  if (restored) observers_.post(*client.pid, kAXWindowDeminiaturizedNotification, app, windowElement(window, *client.pid));
  if (moved) observers_.post(*client.pid, kAXWindowDesktopChangedNotification, app, windowElement(window, *client.pid));
}

// --- helpers ---

AXUIElement X11Applications::windowElement(xcb_window_t window, pid_t pid) const {
  return AXUIElement{AXUIElement::Role::window, pid, window};
}

std::optional<AXUIElement> X11Applications::elementOf(xcb_window_t window) const {
  const auto it = clients_.find(window);
  if (it == clients_.end() || !it->second.pid) return std::nullopt;
  return windowElement(window, *it->second.pid);
}

const X11Applications::Client* X11Applications::clientOf(const AXUIElement& window) const {
  if (!window.isWindow() || window.id > UINT32_MAX) return nullptr;
  const auto it = clients_.find(static_cast<xcb_window_t>(window.id));
  if (it == clients_.end() || it->second.pid != window.pid) return nullptr;
  return &it->second;
}

std::optional<std::uint32_t> X11Applications::currentDesktop() const {
  const auto v = properties_.get(x_.root(), {{x_.atoms()._NET_NUMBER_OF_DESKTOPS, 4}, {x_.atoms()._NET_CURRENT_DESKTOP, 4}});
  return desktopsFrom(v[0], v[1]).current;
}

const apps::DesktopEntryIndex& X11Applications::desktopEntries() const {
  if (!desktopEntries_) desktopEntries_ = apps::DesktopEntryIndex::scan(apps::xdgApplicationFolders());
  return *desktopEntries_;
}

// --- ApplicationServer: applications ---

std::vector<NSRunningApplication> X11Applications::runningApplications() const {
  std::vector<NSRunningApplication> out;
  for (const pid_t pid : applicationOrder_) out.push_back(applications_.at(pid).info);
  return out;
}

std::optional<NSRunningApplication> X11Applications::runningApplication(pid_t pid) const {
  const auto it = applications_.find(pid);
  if (it == applications_.end()) return std::nullopt;
  return it->second.info;
}

AXError X11Applications::copyAttributeValue(const AXUIElement& element, std::string_view attribute,
                                            AXValue& value) const {
  if (element.isApplication()) {
    if (!applications_.count(element.pid)) return AXError::cannotComplete;
    if (attribute != kAXWindowsAttribute) return AXError::attributeUnsupported;
    const auto current = currentDesktop();
    std::vector<AXUIElement> windows;
    for (const xcb_window_t w : clientOrder_) {
      const Client& c = clients_.at(w);
      if (c.pid == element.pid && isOnDesktop(windowDesktop(w), current))
        windows.push_back(windowElement(w, element.pid));
    }
    value = std::move(windows);
    return AXError::success;
  }
  if (!clientOf(element)) return AXError::invalidUIElement;
  const auto window = static_cast<xcb_window_t>(element.id);
  // Kept properties outlive a window that vanished before the program heard of it: ask whether it is there.
  if (!present(window)) return AXError::invalidUIElement;
  const Atoms& a = x_.atoms();
  if (attribute == kAXTitleAttribute) {
    const auto v = properties_.get(window, {{a._NET_WM_NAME, kMaxTextBytes}, {XCB_ATOM_WM_NAME, kMaxTextBytes}});
    auto title = titleFrom(v[0], v[1], a);
    if (!title) return AXError::noValue;
    value = std::move(*title);
    return AXError::success;
  }
  if (attribute == kAXSubroleAttribute) {
    const auto v = properties_.get(window, {{a._NET_WM_WINDOW_TYPE, kMaxTypeBytes}, {XCB_ATOM_WM_TRANSIENT_FOR, 4}});
    value = subroleFrom(v[0], v[1], a);
    return AXError::success;
  }
  if (attribute == kAXMinimizedAttribute) {
    value = minimized(window);
    return AXError::success;
  }
  return AXError::attributeUnsupported;
}

// --- ApplicationServer: windows ---

std::optional<PixelRect> X11Applications::expectedVisibleFrame(xcb_window_t window) const {
  return withRequested(window, visibleFrame(window));
}

std::optional<PixelRect> X11Applications::withRequested(xcb_window_t window, std::optional<PixelRect> frame) const {
  const auto it = requested_.find(window);
  if (!frame || it == requested_.end() || dispatch::MainQueue::clock().now() > it->second.until) return frame;
  const Requested& r = it->second;
  frame->x = r.x.value_or(frame->x);
  frame->y = r.y.value_or(frame->y);
  frame->width = r.width.value_or(frame->width);
  frame->height = r.height.value_or(frame->height);
  return frame;
}

std::optional<CGRect> X11Applications::windowFrame(const AXUIElement& window) const {
  if (!clientOf(window)) return std::nullopt;
  const auto visible = expectedVisibleFrame(static_cast<xcb_window_t>(window.id));
  if (!visible) return std::nullopt;
  return CoordinateSpace(primary_()).toWindowSpace(*visible);
}

bool X11Applications::isWindowMovable(const AXUIElement& window) const { return canMove(window); }

double X11Applications::settleDeadline() { return dispatch::MainQueue::clock().now() + kSettleSeconds; }

bool X11Applications::unmaximize(xcb_window_t window) {
  // A maximised window ignores moves and resizes.
  if (!maximized(window)) return false;
  sendClientMessage(x_, window, x_.atoms()._NET_WM_STATE, kStateRemove, x_.atoms()._NET_WM_STATE_MAXIMIZED_VERT,
                    x_.atoms()._NET_WM_STATE_MAXIMIZED_HORZ, kSourcePager);
  return true;
}

void X11Applications::moveResize(xcb_window_t window, std::uint32_t flags, std::int64_t x, std::int64_t y,
                                 std::int64_t width, std::int64_t height) {
  if (hasMoveResize_) {
    sendClientMessage(x_, window, x_.atoms()._NET_MOVERESIZE_WINDOW, XCB_GRAVITY_NORTH_WEST | flags | (kSourcePager << 12),
                      static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(width),
                      static_cast<std::uint32_t>(height));
    return;
  }
  std::uint16_t mask = 0;
  std::vector<std::uint32_t> values;
  if (flags & kMoveResizeX) mask |= XCB_CONFIG_WINDOW_X, values.push_back(static_cast<std::uint32_t>(x));
  if (flags & kMoveResizeY) mask |= XCB_CONFIG_WINDOW_Y, values.push_back(static_cast<std::uint32_t>(y));
  if (flags & kMoveResizeWidth) mask |= XCB_CONFIG_WINDOW_WIDTH, values.push_back(static_cast<std::uint32_t>(width));
  if (flags & kMoveResizeHeight) mask |= XCB_CONFIG_WINDOW_HEIGHT, values.push_back(static_cast<std::uint32_t>(height));
  xcb_configure_window(x_.get(), window, mask, values.data());
  x_.flush();
}

FrameMargins X11Applications::sendFrame(xcb_window_t window, const PixelRect& frame) {
  // The whole geometry each time: a window manager may fill in a field left out from its own frame rather than
  // from the client (fluxbox grows a window by its title bar and handle on a move alone).
  const FrameMargins m = margins(window);
  const PixelRect r = m.request(frame);
  moveResize(window, kMoveResizeX | kMoveResizeY | kMoveResizeWidth | kMoveResizeHeight, r.x, r.y, r.width,
             r.height);
  return m;
}

void X11Applications::settleUnmaximized() {
  const double now = dispatch::MainQueue::clock().now();
  for (auto it = settling_.begin(); it != settling_.end();) {
    Settling& s = it->second;
    if (now > s.until) {
      it = settling_.erase(it);
      continue;
    }
    if (s.size && !maximized(it->first) && margins(it->first) != s.margins)
      if (const auto known = knownVisibleFrame(it->first))
        s.margins = sendFrame(it->first, {known->x, known->y, s.size->width, s.size->height});
    ++it;
  }
}

bool X11Applications::canMove(const AXUIElement& window) const {
  // A window that vanished reads as movable (it has no property saying otherwise): ask for its geometry too.
  const auto w = static_cast<xcb_window_t>(window.id);
  return clientOf(window) && present(w) && movable(w);
}

bool X11Applications::mayMove(const AXUIElement& window, std::optional<ClientRectRequest>& check) {
  const auto w = static_cast<xcb_window_t>(window.id);
  if (!clientOf(window) || !movable(w)) return false;
  if (clientRects_.has(w)) return clientRects_.get(w).has_value();
  check.emplace(x_, w);
  return true;
}

bool X11Applications::confirmSent(xcb_window_t window, std::optional<ClientRectRequest>& check) {
  // The server answers the check before it passes the request on. A request about a window that is gone
  // changes nothing; it is refused all the same.
  return !check || clientRects_.keep(window, check->get()).has_value();
}

std::optional<PixelRect> X11Applications::knownVisibleFrame(xcb_window_t window) const {
  const auto it = clients_.find(window);
  if (it == clients_.end()) return std::nullopt;
  return withRequested(window, it->second.visible);
}

bool X11Applications::setWindowPosition(const AXUIElement& window, CGPoint position) {
  std::optional<ClientRectRequest> check;
  if (!mayMove(window, check)) return false;
  const auto target = CoordinateSpace(primary_()).fromWindowSpace(position);
  if (!target) return false;
  const auto w = static_cast<xcb_window_t>(window.id);
  const auto seen = knownVisibleFrame(w);
  if (!seen) return false;
  const PixelRect known = carriedFrame(w, *seen);
  if (unmaximize(w)) {
    // The window manager gives the window back its size from before; only the place is asked for.
    if (!settling_.count(w)) settling_[w] = Settling{std::nullopt, {}, settleDeadline()};
    const PixelRect r = margins(w).request({target->x, target->y, known.width, known.height});
    moveResize(w, kMoveResizeX | kMoveResizeY, r.x, r.y, 0, 0);
  } else {
    sendFrame(w, {target->x, target->y, known.width, known.height});
  }
  if (!confirmSent(w, check)) return false;
  notePlaceRequested(w, target->x, target->y);
  return true;
}

bool X11Applications::setWindowSize(const AXUIElement& window, CGSize size) {
  if (!std::isfinite(size.width) || !std::isfinite(size.height)) return false;
  std::optional<ClientRectRequest> check;
  if (!mayMove(window, check)) return false;
  const auto w = static_cast<xcb_window_t>(window.id);
  const auto known = knownVisibleFrame(w);
  if (!known) return false;
  const std::int64_t width = roundedExtent(size.width), height = roundedExtent(size.height);
  // An un-maximised window gets its normal decoration back some time after the window manager took the request:
  // the size goes out now with the margins of now, and again whenever they change while the window settles.
  const bool settles = unmaximize(w) || settling_.count(w);
  const FrameMargins used = sendFrame(w, {known->x, known->y, width, height});
  if (!confirmSent(w, check)) return false;
  if (settles) settling_[w] = Settling{PixelRect{0, 0, width, height}, used, settleDeadline()};
  const PixelRect expected = expectedFrame(w, used, {known->x, known->y, width, height});
  noteSizeRequested(w, width, height, expected);
  return true;
}

bool X11Applications::setWindowFrame(const AXUIElement& window, const CGRect& frame) {
  if (!std::isfinite(frame.size.width) || !std::isfinite(frame.size.height)) return false;
  const auto w = static_cast<xcb_window_t>(window.id);
  // A maximised window takes a place and a size only once it is back to normal: the two steps it needs.
  if (maximized(w)) return ApplicationServer::setWindowFrame(window, frame);
  std::optional<ClientRectRequest> check;
  if (!mayMove(window, check)) return false;
  const auto target = CoordinateSpace(primary_()).fromWindowSpace(frame.origin);
  if (!target) return false;
  const std::int64_t width = roundedExtent(frame.size.width), height = roundedExtent(frame.size.height);
  const bool settles = settling_.count(w) > 0;
  const FrameMargins used = sendFrame(w, {target->x, target->y, width, height});
  if (!confirmSent(w, check)) return false;
  if (settles) settling_[w] = Settling{PixelRect{0, 0, width, height}, used, settleDeadline()};
  const PixelRect expected = expectedFrame(w, used, {target->x, target->y, width, height});
  notePlaceRequested(w, target->x, target->y);
  noteSizeRequested(w, width, height, expected);
  return true;
}

X11Applications::Requested& X11Applications::startRequestNote(xcb_window_t window) {
  const double now = dispatch::MainQueue::clock().now();
  Requested& r = requested_[window];
  // A note that ran out says nothing of where the window is going: it must not come back with this one.
  if (now > r.until) r = Requested{};
  // The frame the notes are laid over. The events handled may lag behind it (a window manager answering a
  // placement made just before): a request noted against them as standing would leave that earlier answer
  // showing as where the window goes.
  r.from = visibleFrame(window);
  r.until = now + kRequestSeconds;
  return r;
}

void X11Applications::notePlaceRequested(xcb_window_t window, std::int64_t x, std::int64_t y) {
  Requested& r = startRequestNote(window);
  r.x = r.from && r.from->x == x ? std::nullopt : std::optional(x);
  r.y = r.from && r.from->y == y ? std::nullopt : std::optional(y);
}

void X11Applications::noteSizeRequested(xcb_window_t window, std::int64_t width, std::int64_t height,
                                        const PixelRect& expected) {
  Requested& r = startRequestNote(window);
  const bool widthStands = r.from && r.from->width == width;
  const bool heightStands = r.from && r.from->height == height;
  r.width = widthStands ? std::nullopt : std::optional(expected.width);
  r.askedWidth = widthStands ? std::nullopt : std::optional(width);
  r.height = heightStands ? std::nullopt : std::optional(expected.height);
  r.askedHeight = heightStands ? std::nullopt : std::optional(height);
}

PixelRect X11Applications::carriedFrame(xcb_window_t window, PixelRect known) const {
  const auto it = requested_.find(window);
  if (it == requested_.end() || dispatch::MainQueue::clock().now() > it->second.until) return known;
  known.width = it->second.askedWidth.value_or(known.width);
  known.height = it->second.askedHeight.value_or(known.height);
  return known;
}

bool X11Applications::focusWindow(const AXUIElement& window) {
  if (!clientOf(window)) return false;
  const auto active = activeWindowFrom(properties_.get(x_.root(), x_.atoms()._NET_ACTIVE_WINDOW, 4));
  sendClientMessage(x_, static_cast<xcb_window_t>(window.id), x_.atoms()._NET_ACTIVE_WINDOW, kSourcePager,
                    XCB_CURRENT_TIME, active.value_or(XCB_WINDOW_NONE));
  return true;
}

std::optional<AXUIElement> X11Applications::focusedWindow() const {
  const auto active = activeWindowFrom(properties_.get(x_.root(), x_.atoms()._NET_ACTIVE_WINDOW, 4));
  return active ? elementOf(*active) : std::nullopt;
}

std::optional<int> X11Applications::windowSpace(const AXUIElement& window) const {
  if (!clientOf(window)) return std::nullopt;
  const auto desktop = windowDesktop(static_cast<xcb_window_t>(window.id));
  // Desktops are shared by every monitor and numbered as the window manager lists them.
  if (!desktop || *desktop == kAllDesktops || *desktop > static_cast<std::uint32_t>(INT32_MAX)) return std::nullopt;
  return static_cast<int>(*desktop);
}

bool X11Applications::moveWindowToSpace(const AXUIElement& window, int position) {
  if (!clientOf(window) || position < 1) return false;
  const auto desktop = static_cast<std::uint32_t>(position - 1);
  if (desktop >= queryDesktops(x_).count) return false;
  sendClientMessage(x_, static_cast<xcb_window_t>(window.id), x_.atoms()._NET_WM_DESKTOP, desktop, kSourcePager);
  return true;
}

// --- ApplicationServer: notifications and the window list ---

bool X11Applications::addObserver(const AXUIElement& application, std::string_view notification,
                                  const AXUIElement& element, AXObserverHandler handler) {
  if (!application.isApplication() || !applications_.count(application.pid) || !handler) return false;
  observers_.add(application.pid, notification, element, std::move(handler));
  return true;
}

bool X11Applications::removeObserver(const AXUIElement& application, std::string_view notification,
                                     const AXUIElement& element) {
  return application.isApplication() && observers_.remove(application.pid, notification, element);
}

std::optional<std::vector<CGWindowInfo>> X11Applications::copyWindowInfo(CGWindowListOption option) const {
  // Front to back: the stacking list is bottom to top.
  auto stacking = decodeList(readProperty(x_, x_.root(), x_.atoms()._NET_CLIENT_LIST_STACKING, kMaxListBytes),
                             XCB_ATOM_WINDOW, kMaxClients);
  std::vector<xcb_window_t> order = stacking ? std::move(*stacking) : clientOrder_;
  std::reverse(order.begin(), order.end());
  const auto current = currentDesktop();
  std::vector<CGWindowInfo> list;
  for (const xcb_window_t w : order) {
    const auto it = clients_.find(w);
    if (it == clients_.end()) continue;
    if (option == kCGWindowListOptionOnScreenOnly &&
        (!isOnDesktop(windowDesktop(w), current) || minimized(w)))
      continue;
    CGWindowInfo info;
    info.windowNumber = w;
    info.ownerPID = it->second.pid;
    list.push_back(info);
  }
  return list;
}

}  // namespace tilvane::x11
