#include "platform/desktop/x11/PropertyCache.h"

#include <memory>

namespace tilvane::x11 {

std::vector<std::optional<PropertyValue>> PropertyCache::get(xcb_window_t window, std::initializer_list<Read> reads) {
  // Every missing value is asked for before the first answer is awaited.
  std::vector<std::unique_ptr<PropertyRequest>> requests;
  for (const Read& r : reads) {
    const auto it = values_.find({window, r.atom});
    const bool kept = it != values_.end() && it->second.maxBytes == r.maxBytes;
    requests.push_back(kept ? nullptr : std::make_unique<PropertyRequest>(x_, window, r.atom, r.maxBytes));
  }
  std::vector<std::optional<PropertyValue>> values;
  std::size_t i = 0;
  for (const Read& r : reads) {
    if (const auto& request = requests[i++]) values_[{window, r.atom}] = Kept{r.maxBytes, request->get()};
    values.push_back(values_.at({window, r.atom}).value);
  }
  return values;
}

std::optional<PropertyValue> PropertyCache::get(xcb_window_t window, xcb_atom_t atom, std::uint32_t maxBytes) {
  return std::move(get(window, {Read{atom, maxBytes}}).front());
}

void PropertyCache::forget(xcb_window_t window) {
  values_.erase(values_.lower_bound({window, 0}), values_.upper_bound({window, UINT32_MAX}));
}

}  // namespace tilvane::x11
