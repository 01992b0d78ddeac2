#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/desktop/x11/Atoms.h"

namespace tilvane::x11 {

/// Frees an xcb reply.
struct FreeReply {
  void operator()(void* p) const { std::free(p); }
};
/// An owned xcb reply (null when the request failed, e.g. BadWindow for a window that vanished).
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

/// One connection to an X server, owned: closed when the object goes. Holds the screen's root, the interned
/// atoms and which extensions the server offers. Main thread only.
///
/// Every reply goes through reply(), which frees the error of a failed request (a vanished window is normal,
/// not a fault) and tells the event pump that xcb may now hold queued events the socket no longer signals.
class XConnection {
 public:
  /// Opens `display` (empty: $DISPLAY). Null, with the reason in `error`, when no X server answers.
  static std::unique_ptr<XConnection> open(const std::string& display, std::string* error);
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  xcb_connection_t* get() const { return connection_; }
  const xcb_screen_t& screen() const { return *screen_; }
  xcb_window_t root() const { return screen_->root; }
  /// The number of the screen opened (the display name's ".N").
  int screenNumber() const { return screenNumber_; }
  const Atoms& atoms() const { return atoms_; }
  /// The display name as opened (":1", say).
  const std::string& displayName() const { return displayName_; }
  int fileDescriptor() const { return xcb_get_file_descriptor(connection_); }
  /// Whether the connection broke (server gone, protocol error); no request will work again.
  bool hasError() const { return xcb_connection_has_error(connection_) != 0; }

  bool hasRandr() const { return randrMinor_ >= 5; }
  bool hasXRes() const { return hasXRes_; }
  bool hasXTest() const { return hasXTest_; }
  /// The first event code of XFixes (selection-owner notifications), 0 when the server lacks it.
  std::uint8_t xfixesFirstEvent() const { return xfixesFirstEvent_; }

  /// Waits for the reply of `cookie`; null when the request failed. Any error is freed here.
  template <class R, class Cookie>
  Reply<R> reply(R* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**), Cookie cookie) const {
    xcb_generic_error_t* error = nullptr;
    Reply<R> r(fetch(connection_, cookie, &error));
    std::free(error);
    if (onReplies_) onReplies_();
    return r;
  }

  /// Sends what is buffered.
  void flush() const { xcb_flush(connection_); }
  /// Waits until the server processed every request sent so far.
  void sync() const;

  /// Called after each reply wait (the event pump arms a drain of queued events).
  void setOnReplies(std::function<void()> callback) { onReplies_ = std::move(callback); }

 private:
  XConnection() = default;
  xcb_connection_t* connection_ = nullptr;
  const xcb_screen_t* screen_ = nullptr;
  int screenNumber_ = 0;
  Atoms atoms_;
  std::string displayName_;
  int randrMinor_ = -1;
  bool hasXRes_ = false;
  bool hasXTest_ = false;
  std::uint8_t xfixesFirstEvent_ = 0;
  std::function<void()> onReplies_;
};

}  // namespace tilvane::x11
