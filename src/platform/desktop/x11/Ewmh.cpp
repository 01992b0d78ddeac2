#include "platform/desktop/x11/Ewmh.h"

#include <algorithm>
#include <cstring>

#include "platform/desktop/x11/Properties.h"

namespace tilvane::x11 {
namespace {
constexpr std::uint32_t kMaxExtent = 4096;
}  // namespace

DesktopState queryDesktops(const XConnection& x) {
  PropertyRequest count(x, x.root(), x.atoms()._NET_NUMBER_OF_DESKTOPS, 4);
  PropertyRequest current(x, x.root(), x.atoms()._NET_CURRENT_DESKTOP, 4);
  return desktopsFrom(count.get(), current.get());
}

DesktopState desktopsFrom(const std::optional<PropertyValue>& count, const std::optional<PropertyValue>& current) {
  DesktopState state;
  state.count = std::min(decodeFirst(count, XCB_ATOM_CARDINAL).value_or(0), kMaxDesktops);
  const auto c = decodeFirst(current, XCB_ATOM_CARDINAL);
  if (c && *c < state.count) state.current = *c;
  return state;
}

std::optional<xcb_window_t> queryActiveWindow(const XConnection& x) {
  return activeWindowFrom(readProperty(x, x.root(), x.atoms()._NET_ACTIVE_WINDOW, 4));
}

std::vector<xcb_window_t> queryClientList(const XConnection& x) {
  return decodeList(readProperty(x, x.root(), x.atoms()._NET_CLIENT_LIST, kMaxListBytes), XCB_ATOM_WINDOW,
                    kMaxClients)
      .value_or(std::vector<std::uint32_t>{});
}

std::optional<xcb_window_t> activeWindowFrom(const std::optional<PropertyValue>& value) {
  const auto w = decodeFirst(value, XCB_ATOM_WINDOW);
  if (!w || *w == XCB_WINDOW_NONE) return std::nullopt;
  return *w;
}

FrameExtents queryFrameExtents(const XConnection& x, xcb_window_t window) {
  return frameExtentsFrom(readProperty(x, window, x.atoms()._NET_FRAME_EXTENTS, kFrameExtentsBytes));
}

FrameExtents frameExtentsFrom(const std::optional<PropertyValue>& value) {
  const auto v = decodeFixed(value, XCB_ATOM_CARDINAL, 4);
  if (!v) return {};
  const auto clamp = [](std::uint32_t e) { return std::min(e, kMaxExtent); };
  return FrameExtents{clamp((*v)[0]), clamp((*v)[1]), clamp((*v)[2]), clamp((*v)[3])};
}

std::optional<PixelRect> queryClientRect(const XConnection& x, xcb_window_t window) {
  return ClientRectRequest(x, window).get();
}

ClientRectRequest::ClientRectRequest(const XConnection& x, xcb_window_t window)
    : x_(&x),
      geometry_(xcb_get_geometry(x.get(), window)),
      origin_(xcb_translate_coordinates(x.get(), window, x.root(), 0, 0)) {}

ClientRectRequest::~ClientRectRequest() {
  if (done_) return;
  xcb_discard_reply(x_->get(), geometry_.sequence);
  xcb_discard_reply(x_->get(), origin_.sequence);
}

std::optional<PixelRect> ClientRectRequest::get() {
  if (done_) return std::nullopt;
  done_ = true;
  const auto geometry = x_->reply(xcb_get_geometry_reply, geometry_);
  const auto origin = x_->reply(xcb_translate_coordinates_reply, origin_);
  if (!geometry || !origin) return std::nullopt;
  return PixelRect{origin->dst_x, origin->dst_y, geometry->width, geometry->height};
}

PixelRect outerFrameOf(const PixelRect& client, const FrameExtents& e) {
  return PixelRect{client.x - e.left, client.y - e.top, client.width + e.left + e.right,
                   client.height + e.top + e.bottom};
}

void sendClientMessage(const XConnection& x, xcb_window_t window, xcb_atom_t type, std::uint32_t d0,
                       std::uint32_t d1, std::uint32_t d2, std::uint32_t d3, std::uint32_t d4) {
  xcb_client_message_event_t event;
  std::memset(&event, 0, sizeof event);
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = type;
  event.data.data32[0] = d0;
  event.data.data32[1] = d1;
  event.data.data32[2] = d2;
  event.data.data32[3] = d3;
  event.data.data32[4] = d4;
  xcb_send_event(x.get(), 0, x.root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  x.flush();
}

void requestCurrentDesktop(const XConnection& x, std::uint32_t n) {
  sendClientMessage(x, x.root(), x.atoms()._NET_CURRENT_DESKTOP, n, XCB_CURRENT_TIME);
}

}  // namespace tilvane::x11
