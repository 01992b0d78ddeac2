#include "platform/desktop/x11/Properties.h"

#include <algorithm>
#include <cstring>

#include "platform/base/Utf8.h"

namespace tilvane::x11 {
namespace {
constexpr std::size_t kMaxClassName = 255;

std::optional<PropertyValue> toValue(const Reply<xcb_get_property_reply_t>& r) {
  if (!r || r->type == XCB_ATOM_NONE) return std::nullopt;
  if (r->format != 8 && r->format != 16 && r->format != 32) return std::nullopt;
  PropertyValue v;
  v.type = r->type;
  v.format = r->format;
  const int length = xcb_get_property_value_length(r.get());
  if (length > 0) v.bytes.assign(static_cast<const char*>(xcb_get_property_value(r.get())), static_cast<std::size_t>(length));
  v.truncated = r->bytes_after > 0;
  return v;
}

std::string_view upToNul(const std::string& s) {
  const auto nul = s.find('\0');
  return std::string_view(s).substr(0, nul);
}

std::string asciiOnly(std::string_view s) {
  std::string out;
  for (const char c : s) {
    if (static_cast<unsigned char>(c) < 0x80)
      out.push_back(c);
    else
      out.append("\xEF\xBF\xBD");
  }
  return out;
}
}  // namespace

PropertyRequest::PropertyRequest(const XConnection& x, xcb_window_t window, xcb_atom_t property,
                                 std::uint32_t maxBytes)
    : x_(&x),
      cookie_(xcb_get_property(x.get(), 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                               std::max<std::uint32_t>(1, (maxBytes + 3) / 4))) {}

std::optional<PropertyValue> PropertyRequest::get() {
  if (done_) return std::nullopt;
  done_ = true;
  return toValue(x_->reply(xcb_get_property_reply, cookie_));
}

std::optional<PropertyValue> readProperty(const XConnection& x, xcb_window_t window, xcb_atom_t property,
                                          std::uint32_t maxBytes) {
  return PropertyRequest(x, window, property, maxBytes).get();
}

std::optional<std::vector<std::uint32_t>> decodeList(const std::optional<PropertyValue>& v, xcb_atom_t type,
                                                     std::size_t maxItems) {
  if (!v || v->type != type || v->format != 32 || type == XCB_ATOM_NONE) return std::nullopt;
  const std::size_t count = std::min(v->bytes.size() / 4, maxItems);
  std::vector<std::uint32_t> items(count);
  if (count > 0) std::memcpy(items.data(), v->bytes.data(), count * 4);
  return items;
}

std::optional<std::uint32_t> decodeFirst(const std::optional<PropertyValue>& v, xcb_atom_t type) {
  const auto items = decodeList(v, type, 1);
  if (!items || items->empty()) return std::nullopt;
  return items->front();
}

std::optional<std::vector<std::uint32_t>> decodeFixed(const std::optional<PropertyValue>& v, xcb_atom_t type,
                                                      std::size_t count) {
  auto items = decodeList(v, type, count);
  if (!items || items->size() < count) return std::nullopt;
  return items;
}

std::optional<std::string> decodeText(const std::optional<PropertyValue>& v, const Atoms& atoms) {
  if (!v || v->format != 8) return std::nullopt;
  const std::string_view text = upToNul(v->bytes);
  if (v->type == atoms.UTF8_STRING && atoms.UTF8_STRING != XCB_ATOM_NONE) return sanitizeUtf8(text);
  if (v->type == XCB_ATOM_STRING) return latin1ToUtf8(text);
  if (v->type == atoms.COMPOUND_TEXT && atoms.COMPOUND_TEXT != XCB_ATOM_NONE) return asciiOnly(text);
  return std::nullopt;
}

std::optional<WmClass> decodeWmClass(const std::optional<PropertyValue>& v) {
  if (!v || v->type != XCB_ATOM_STRING || v->format != 8) return std::nullopt;
  const std::string_view all(v->bytes);
  const auto firstNul = all.find('\0');
  const std::string_view instance = all.substr(0, firstNul);
  std::string_view klass;
  if (firstNul != std::string_view::npos) {
    const std::string_view rest = all.substr(firstNul + 1);
    klass = rest.substr(0, rest.find('\0'));
  }
  if (instance.empty() && klass.empty()) return std::nullopt;
  WmClass c;
  c.instance = latin1ToUtf8(instance.substr(0, kMaxClassName));
  c.className = klass.empty() ? c.instance : latin1ToUtf8(klass.substr(0, kMaxClassName));
  if (c.instance.empty()) c.instance = c.className;
  return c;
}

}  // namespace tilvane::x11
