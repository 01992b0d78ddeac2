#include "XDriver.h"

#include <poll.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace tilvane::bench {
namespace {
template <class T>
using Owned = std::unique_ptr<T, decltype(&std::free)>;
template <class T>
Owned<T> own(T* p) {
  return Owned<T>(p, &std::free);
}
}  // namespace

XDriver::XDriver(const std::string& display) {
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return;
  }
  c_ = c;
  root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  netActiveWindow_ = atom("_NET_ACTIVE_WINDOW");
  netMoveResizeWindow_ = atom("_NET_MOVERESIZE_WINDOW");
}

XDriver::~XDriver() {
  if (c_) xcb_disconnect(c_);
}

xcb_atom_t XDriver::atom(const char* name) {
  auto r = own(xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
                                     nullptr));
  return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool XDriver::isTestDesktop() {
  auto r = own(xcb_get_property_reply(
      c_, xcb_get_property(c_, 0, root_, atom("_TILVANE_TEST_DESKTOP"), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
  return r && xcb_get_property_value_length(r.get()) > 0;
}

xcb_window_t XDriver::watchFrame(xcb_window_t client) {
  xcb_window_t window = client;
  for (;;) {
    auto tree = own(xcb_query_tree_reply(c_, xcb_query_tree(c_, window), nullptr));
    if (!tree || tree->parent == root_ || tree->parent == XCB_WINDOW_NONE) break;
    window = tree->parent;
  }
  const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(c_, window, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c_);
  return window;
}

std::array<std::uint32_t, 4> XDriver::frameExtents(xcb_window_t client) {
  std::array<std::uint32_t, 4> extents{};
  auto r = own(xcb_get_property_reply(
      c_, xcb_get_property(c_, 0, client, atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4), nullptr));
  if (r && r->format == 32 && xcb_get_property_value_length(r.get()) == 16)
    std::memcpy(extents.data(), xcb_get_property_value(r.get()), 16);
  return extents;
}

std::optional<Rect> XDriver::read(xcb_window_t frame) {
  auto g = own(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, frame), nullptr));
  if (!g) return std::nullopt;
  const int border = 2 * g->border_width;
  return Rect{g->x, g->y, g->width + border, g->height + border};
}

std::optional<Rect> XDriver::fromConfigure(const xcb_generic_event_t& event, xcb_window_t frame) const {
  if ((event.response_type & 0x7f) != XCB_CONFIGURE_NOTIFY) return std::nullopt;
  const auto& e = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
  if (e.window != frame) return std::nullopt;
  const int border = 2 * e.border_width;
  return Rect{e.x, e.y, e.width + border, e.height + border};
}

bool XDriver::waitForFrame(xcb_window_t frame, const Rect& target, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    bool seen = false;
    while (auto* e = xcb_poll_for_event(c_)) {
      auto owned = own(e);
      if (fromConfigure(*e, frame) == target) seen = true;
    }
    // The event says the frame moved; the read-back is what a client can rely on.
    if (seen && read(frame) == target) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return read(frame) == target;
    pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()));
    if (xcb_connection_has_error(c_)) return false;
  }
}

void XDriver::discardEvents() {
  while (auto* e = xcb_poll_for_event(c_)) std::free(e);
}

void XDriver::activate(xcb_window_t client) {
  xcb_client_message_event_t m{};
  m.response_type = XCB_CLIENT_MESSAGE;
  m.format = 32;
  m.window = client;
  m.type = netActiveWindow_;
  m.data.data32[0] = 2;  // from a pager
  xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&m));
  xcb_flush(c_);
}

std::optional<xcb_window_t> XDriver::activeWindow() {
  auto r = own(xcb_get_property_reply(
      c_, xcb_get_property(c_, 0, root_, netActiveWindow_, XCB_ATOM_WINDOW, 0, 1), nullptr));
  if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) != 4) return std::nullopt;
  return *static_cast<const xcb_window_t*>(xcb_get_property_value(r.get()));
}

xcb_keycode_t XDriver::keycodeOf(std::uint32_t keysym) {
  std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(xcb_key_symbols_alloc(c_),
                                                                           xcb_key_symbols_free);
  auto codes = own(xcb_key_symbols_get_keycode(symbols.get(), keysym));
  return codes ? codes.get()[0] : 0;
}

void XDriver::key(xcb_keycode_t keycode, bool down) {
  xcb_test_fake_input(c_, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0,
                      0);
  xcb_flush(c_);
}

void XDriver::moveResize(xcb_window_t client, const Rect& outer, const std::array<std::uint32_t, 4>& extents) {
  xcb_client_message_event_t m{};
  m.response_type = XCB_CLIENT_MESSAGE;
  m.format = 32;
  m.window = client;
  m.type = netMoveResizeWindow_;
  // Static gravity would place the client, not the frame; the window's own (north-west) places the frame.
  m.data.data32[0] = (0xFu << 8) | (2u << 12);
  m.data.data32[1] = static_cast<std::uint32_t>(outer.x);
  m.data.data32[2] = static_cast<std::uint32_t>(outer.y);
  m.data.data32[3] = static_cast<std::uint32_t>(outer.width - static_cast<int>(extents[0] + extents[1]));
  m.data.data32[4] = static_cast<std::uint32_t>(outer.height - static_cast<int>(extents[2] + extents[3]));
  xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&m));
  xcb_flush(c_);
}

}  // namespace tilvane::bench
