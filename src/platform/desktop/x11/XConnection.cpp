#include "platform/desktop/x11/XConnection.h"

#include <xcb/randr.h>
#include <xcb/res.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

namespace tilvane::x11 {

std::unique_ptr<XConnection> XConnection::open(const std::string& display, std::string* error) {
  const char* env = std::getenv("DISPLAY");
  const std::string name = display.empty() ? (env ? env : "") : display;
  if (name.empty()) {
    if (error) *error = "no X display: DISPLAY is not set";
    return nullptr;
  }
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(name.c_str(), &screenNumber);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    if (error) *error = "cannot open X display \"" + name + "\"";
    return nullptr;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  if (!it.data) {
    xcb_disconnect(c);
    if (error) *error = "X display \"" + name + "\" has no screen " + std::to_string(screenNumber);
    return nullptr;
  }
  std::unique_ptr<XConnection> x(new XConnection());
  x->connection_ = c;
  x->screen_ = it.data;
  x->screenNumber_ = screenNumber;
  x->displayName_ = name;

  // Extensions first (a request of an extension the server lacks would break the connection), pipelined.
  xcb_prefetch_extension_data(c, &xcb_randr_id);
  xcb_prefetch_extension_data(c, &xcb_res_id);
  xcb_prefetch_extension_data(c, &xcb_test_id);
  xcb_prefetch_extension_data(c, &xcb_xfixes_id);
  x->atoms_ = Atoms::intern(c);
  const auto present = [c](xcb_extension_t* ext) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(c, ext);
    return data && data->present;
  };
  const bool randr = present(&xcb_randr_id);
  const bool res = present(&xcb_res_id);
  const bool test = present(&xcb_test_id);
  if (randr) {
    if (auto v = x->reply(xcb_randr_query_version_reply, xcb_randr_query_version(c, 1, 5)))
      x->randrMinor_ = v->major_version > 1 ? 99 : static_cast<int>(v->minor_version);
  }
  if (res) {
    if (auto v = x->reply(xcb_res_query_version_reply, xcb_res_query_version(c, 1, 2)))
      x->hasXRes_ = v->server_major > 1 || (v->server_major == 1 && v->server_minor >= 2);
  }
  if (test) x->hasXTest_ = x->reply(xcb_test_get_version_reply, xcb_test_get_version(c, 2, 2)) != nullptr;
  // The version must be agreed on before any other XFixes request; selection notifications came with 1.0.
  if (present(&xcb_xfixes_id) && x->reply(xcb_xfixes_query_version_reply, xcb_xfixes_query_version(c, 1, 0)))
    x->xfixesFirstEvent_ = xcb_get_extension_data(c, &xcb_xfixes_id)->first_event;
  return x;
}

XConnection::~XConnection() {
  if (connection_) xcb_disconnect(connection_);
}

void XConnection::sync() const { reply(xcb_get_input_focus_reply, xcb_get_input_focus(connection_)); }

}  // namespace tilvane::x11
