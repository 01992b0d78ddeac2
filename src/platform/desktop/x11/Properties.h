#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

// Typed reading of window properties. Properties belong to other programs and are untrusted: every read is
// bounded (a window may hold megabytes), and a value of the wrong type or format, or too short, reads as absent
// rather than as garbage.

/// The raw value of a property: its type, format (8, 16 or 32) and bytes. `truncated` when the property held
/// more than the read allowed.
struct PropertyValue {
  xcb_atom_t type = XCB_ATOM_NONE;
  std::uint8_t format = 0;
  std::string bytes;
  bool truncated = false;
};

/// Upper bounds of reads, in bytes.
inline constexpr std::uint32_t kMaxTextBytes = 64 * 1024;
inline constexpr std::uint32_t kMaxListBytes = 256 * 1024;
inline constexpr std::uint32_t kMaxSmallBytes = 1024;

/// A property read in flight: sent on construction, answered by get(), so reads of many windows pipeline.
class PropertyRequest {
 public:
  PropertyRequest(const XConnection& x, xcb_window_t window, xcb_atom_t property, std::uint32_t maxBytes);
  /// The value; absent when the property or the window does not exist.
  std::optional<PropertyValue> get();

 private:
  const XConnection* x_;
  xcb_get_property_cookie_t cookie_;
  bool done_ = false;
};

/// Reads one property at once.
std::optional<PropertyValue> readProperty(const XConnection& x, xcb_window_t window, xcb_atom_t property,
                                          std::uint32_t maxBytes);

// Decoders. Each answers absent unless the value has the expected type and format.

/// 32-bit items of `type` (CARDINAL, WINDOW, ATOM ...), at most `maxItems`.
std::optional<std::vector<std::uint32_t>> decodeList(const std::optional<PropertyValue>& v, xcb_atom_t type,
                                                     std::size_t maxItems = SIZE_MAX);
/// The first 32-bit item of `type`; absent when there is none.
std::optional<std::uint32_t> decodeFirst(const std::optional<PropertyValue>& v, xcb_atom_t type);
/// Exactly `count` (or more; the first `count` are taken) 32-bit items of `type`.
std::optional<std::vector<std::uint32_t>> decodeFixed(const std::optional<PropertyValue>& v, xcb_atom_t type,
                                                      std::size_t count);
/// A text as valid UTF-8, up to the first NUL: UTF8_STRING is sanitised, STRING converted from Latin-1,
/// COMPOUND_TEXT kept where it is plain ASCII (other bytes become U+FFFD). Other types: absent.
std::optional<std::string> decodeText(const std::optional<PropertyValue>& v, const Atoms& atoms);

/// WM_CLASS: instance and class names.
struct WmClass {
  std::string instance;
  std::string className;
  bool operator==(const WmClass&) const = default;
};
/// WM_CLASS (two NUL-terminated Latin-1 strings), as UTF-8. A missing name repeats the other; each is cut to
/// 255 bytes. Absent when the type is not STRING or both names are empty.
std::optional<WmClass> decodeWmClass(const std::optional<PropertyValue>& v);

}  // namespace tilvane::x11
