#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/desktop/x11/Properties.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// Property values of windows whose property changes the program listens to (the root and the tracked
/// clients), kept until a PropertyNotify says the property changed. A change made before a value was read
/// reaches the program as an event after the read's request, so it drops that value; a change made after the
/// read is seen as an event too. The values are as current as the events handled so far, which is what the
/// program acts on anyway (a hot key is an event after every change that came before it). Main thread only.
class PropertyCache {
 public:
  struct Read {
    xcb_atom_t atom;
    std::uint32_t maxBytes;
  };

  explicit PropertyCache(const XConnection& x) : x_(x) {}

  /// The values of `reads` of `window`, in order; those not kept are read in one round trip.
  std::vector<std::optional<PropertyValue>> get(xcb_window_t window, std::initializer_list<Read> reads);
  std::optional<PropertyValue> get(xcb_window_t window, xcb_atom_t atom, std::uint32_t maxBytes);

  /// A PropertyNotify: the property's value is read again when next asked for.
  void changed(xcb_window_t window, xcb_atom_t atom) { values_.erase({window, atom}); }
  /// The window is no longer listened to (or is gone): forgets all of its values.
  void forget(xcb_window_t window);

 private:
  struct Kept {
    std::uint32_t maxBytes;
    std::optional<PropertyValue> value;
  };
  const XConnection& x_;
  std::map<std::pair<xcb_window_t, xcb_atom_t>, Kept> values_;
};

}  // namespace tilvane::x11
