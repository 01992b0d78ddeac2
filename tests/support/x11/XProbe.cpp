#include "support/x11/XProbe.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace tilvane::test::x11 {
namespace {
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;
}  // namespace

std::ostream& operator<<(std::ostream& out, const XRectangle& r) {
  return out << r.width << 'x' << r.height << (r.x < 0 ? "" : "+") << r.x << (r.y < 0 ? "" : "+") << r.y;
}

XProbe::XProbe(const std::string& display) {
  int screen = 0;
  xcb_connection_t* c = xcb_connect(display.c_str(), &screen);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screen && it.rem; ++i) xcb_screen_next(&it);
  connection_ = c;
  root_ = it.data->root;
}

XProbe::~XProbe() {
  if (connection_) xcb_disconnect(connection_);
}

xcb_atom_t XProbe::atom(const std::string& name) {
  Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr));
  return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void XProbe::sync() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

bool XProbe::syncWindowManager(double seconds) {
  // The window manager redirects every configure request of the root's children, unmapped ones too, and must
  // grant it: a new width of a window of the probe's shows once it handled what was sent before.
  if (marker_ == XCB_WINDOW_NONE) {
    marker_ = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, marker_, root_, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  }
  markerWidth_ = markerWidth_ == 2 ? 3 : 2;
  xcb_configure_window(connection_, marker_, XCB_CONFIG_WINDOW_WIDTH, &markerWidth_);
  xcb_flush(connection_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, marker_), nullptr));
    if (geometry && geometry->width == markerWidth_) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool XProbe::windowManagerConnected() {
  const auto check = cardinals(root_, "_NET_SUPPORTING_WM_CHECK");
  if (check.empty()) return false;
  const auto own = cardinals(check[0], "_NET_SUPPORTING_WM_CHECK");
  return !own.empty() && own[0] == check[0];
}

namespace {
Reply<xcb_get_property_reply_t> getProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
  return Reply<xcb_get_property_reply_t>(xcb_get_property_reply(
      c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16), nullptr));
}
}  // namespace

std::vector<std::uint32_t> XProbe::cardinals(xcb_window_t window, const std::string& property) {
  const auto r = getProperty(connection_, window, atom(property));
  if (!r || r->format != 32) return {};
  const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
  return std::vector<std::uint32_t>(v, v + xcb_get_property_value_length(r.get()) / 4);
}

std::string XProbe::text(xcb_window_t window, const std::string& property) {
  const auto r = getProperty(connection_, window, atom(property));
  if (!r || r->format != 8) return {};
  return std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
                     static_cast<std::size_t>(xcb_get_property_value_length(r.get())));
}

std::optional<xcb_window_t> XProbe::activeWindow() {
  const auto v = cardinals(root_, "_NET_ACTIVE_WINDOW");
  if (v.empty() || v[0] == XCB_WINDOW_NONE) return std::nullopt;
  return v[0];
}

int XProbe::currentDesktop() {
  const auto v = cardinals(root_, "_NET_CURRENT_DESKTOP");
  return v.empty() ? -1 : static_cast<int>(v[0]);
}

std::int64_t XProbe::desktopOf(xcb_window_t window) {
  const auto v = cardinals(window, "_NET_WM_DESKTOP");
  return v.empty() || v[0] == 0xffffffffu ? -1 : v[0];
}

std::optional<xcb_get_window_attributes_reply_t> XProbe::attributes(xcb_window_t window) {
  const Reply<xcb_get_window_attributes_reply_t> a(
      xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr));
  if (!a) return std::nullopt;
  return *a;
}

std::optional<XRectangle> XProbe::clientRect(xcb_window_t window) {
  Reply<xcb_get_geometry_reply_t> g(
      xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
  if (!g) return std::nullopt;
  Reply<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(
      connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr));
  if (!t) return std::nullopt;
  return XRectangle{t->dst_x, t->dst_y, g->width, g->height};
}

std::optional<XRectangle> XProbe::frameRect(xcb_window_t window) {
  auto client = clientRect(window);
  if (!client) return std::nullopt;
  const auto e = extents(window, "_NET_FRAME_EXTENTS");
  const auto s = extents(window, "_GTK_FRAME_EXTENTS");  // inside the client: taken off
  return XRectangle{client->x - e[0] + s[0], client->y - e[2] + s[2], client->width + e[0] + e[1] - s[0] - s[1],
                    client->height + e[2] + e[3] - s[2] - s[3]};
}

std::array<std::int64_t, 4> XProbe::extents(xcb_window_t window, const std::string& property) {
  const auto v = cardinals(window, property);
  if (v.size() != 4) return {0, 0, 0, 0};
  return {v[0], v[1], v[2], v[3]};
}

void XProbe::clientMessage(xcb_window_t window, const std::string& type, const std::uint32_t (&data)[5]) {
  xcb_client_message_event_t event;
  std::memset(&event, 0, sizeof event);
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = atom(type);
  std::memcpy(event.data.data32, data, sizeof data);
  xcb_send_event(connection_, 0, root_,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  sync();
}

void XProbe::moveResize(xcb_window_t window, const XRectangle& r) {
  // Gravity NorthWest, x y width height given, source indication 2 (a pager or similar tool).
  const std::uint32_t flags = XCB_GRAVITY_NORTH_WEST | (0xfu << 8) | (2u << 12);
  clientMessage(window, "_NET_MOVERESIZE_WINDOW",
                {flags, static_cast<std::uint32_t>(r.x), static_cast<std::uint32_t>(r.y),
                 static_cast<std::uint32_t>(r.width), static_cast<std::uint32_t>(r.height)});
}

void XProbe::switchDesktop(int n) {
  clientMessage(root_, "_NET_CURRENT_DESKTOP", {static_cast<std::uint32_t>(n), XCB_CURRENT_TIME, 0, 0, 0});
}

void XProbe::setState(xcb_window_t window, bool add, const std::string& first, const std::string& second) {
  clientMessage(window, "_NET_WM_STATE",
                {add ? 1u : 0u, atom(first), second.empty() ? xcb_atom_t{XCB_ATOM_NONE} : atom(second), 2, 0});
}

void XProbe::destroy(xcb_window_t window) {
  xcb_destroy_window(connection_, window);
  sync();
}

void XProbe::disconnectClient(xcb_window_t window) {
  xcb_kill_client(connection_, window);
  sync();
}

xcb_window_t XProbe::takeSelection(const std::string& selection) {
  const xcb_window_t owner = xcb_generate_id(connection_);
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, owner, root_, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  setSelectionOwner(selection, owner);
  return owner;
}

void XProbe::setSelectionOwner(const std::string& selection, xcb_window_t owner) {
  xcb_set_selection_owner(connection_, owner, atom(selection), XCB_CURRENT_TIME);
  sync();
}

xcb_window_t XProbe::selectionOwner(const std::string& selection) {
  const Reply<xcb_get_selection_owner_reply_t> r(
      xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, atom(selection)), nullptr));
  return r ? r->owner : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_keycode_t XProbe::keycodeOf(std::uint32_t keysym) {
  std::unique_ptr<xcb_key_symbols_t, void (*)(xcb_key_symbols_t*)> symbols(xcb_key_symbols_alloc(connection_),
                                                                           xcb_key_symbols_free);
  Reply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols.get(), keysym));
  return codes ? codes.get()[0] : 0;  // the list ends with 0 (NoSymbol)
}

xcb_keycode_t XProbe::grabKey(std::uint32_t keysym) {
  const xcb_keycode_t code = keycodeOf(keysym);
  if (code == 0) return 0;
  xcb_grab_key(connection_, 1, root_, XCB_MOD_MASK_ANY, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
  sync();
  return code;
}

std::optional<xcb_key_press_event_t> XProbe::nextKeyPress() {
  while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) {
    Reply<xcb_generic_event_t> owned(e);
    if ((e->response_type & 0x7f) == XCB_KEY_PRESS) return *reinterpret_cast<xcb_key_press_event_t*>(e);
  }
  return std::nullopt;
}

std::optional<std::pair<int, int>> XProbe::pointer() {
  Reply<xcb_query_pointer_reply_t> r(xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr));
  if (!r) return std::nullopt;
  return std::make_pair(static_cast<int>(r->root_x), static_cast<int>(r->root_y));
}

std::vector<std::string> XProbe::releaseHeldKeysAndButtons() {
  std::vector<std::string> released;
  if (Reply<xcb_query_keymap_reply_t> keys{xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr)})
    for (int code = 8; code < 256; ++code)
      if (keys->keys[code / 8] & (1 << (code % 8))) {
        xcb_test_fake_input(connection_, XCB_KEY_RELEASE, static_cast<std::uint8_t>(code), XCB_CURRENT_TIME,
                            XCB_WINDOW_NONE, 0, 0, 0);
        released.push_back("key " + std::to_string(code));
      }
  if (Reply<xcb_query_pointer_reply_t> p{xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_),
                                                                 nullptr)})
    for (std::uint8_t button = 1; button <= 5; ++button)
      if (p->mask & (XCB_BUTTON_MASK_1 << (button - 1))) {
        xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        released.push_back("button " + std::to_string(button));
      }
  sync();
  return released;
}

bool XProbe::pointerOrKeyboardHeld() {
  Reply<xcb_grab_pointer_reply_t> pointer{xcb_grab_pointer_reply(
      connection_,
      xcb_grab_pointer(connection_, 0, root_, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_WINDOW_NONE,
                       XCB_CURSOR_NONE, XCB_CURRENT_TIME),
      nullptr)};
  const bool pointerFree = pointer && pointer->status == XCB_GRAB_STATUS_SUCCESS;
  if (pointerFree) xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
  Reply<xcb_grab_keyboard_reply_t> keyboard{xcb_grab_keyboard_reply(
      connection_,
      xcb_grab_keyboard(connection_, 0, root_, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr)};
  const bool keyboardFree = keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS;
  if (keyboardFree) xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
  sync();
  return !pointerFree || !keyboardFree;
}

void XProbe::setProperty(xcb_window_t window, const std::string& property, xcb_atom_t type, std::uint8_t format,
                         const void* data, std::uint32_t items) {
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom(property), type, format, items, data);
  sync();
}

}  // namespace tilvane::test::x11
