#include "platform/hotkeys/x11/KeyboardMap.h"

#include <algorithm>

namespace tilvane::x11 {

KeyboardMap::KeyboardMap(xcb_keycode_t minKeycode, std::uint8_t keysymsPerKeycode, std::vector<KeySym> keysyms)
    : minKeycode_(minKeycode), perKeycode_(keysymsPerKeycode), keysyms_(std::move(keysyms)) {
  if (perKeycode_ == 0) {
    keysyms_.clear();
    return;
  }
  // Key codes end at 255: rows beyond that, or a partial last row, belong to no key.
  const std::size_t rowsInRange = 256u - minKeycode_;
  const std::size_t rows = std::min(keysyms_.size() / perKeycode_, rowsInRange);
  keysyms_.resize(rows * perKeycode_);
}

std::span<const KeySym> KeyboardMap::keysymsOf(xcb_keycode_t keycode) const {
  if (perKeycode_ == 0 || keycode < minKeycode_) return {};
  const std::size_t start = static_cast<std::size_t>(keycode - minKeycode_) * perKeycode_;
  if (start + perKeycode_ > keysyms_.size()) return {};
  return std::span<const KeySym>(keysyms_).subspan(start, perKeycode_);
}

std::vector<xcb_keycode_t> KeyboardMap::keycodesFor(KeySym keysym) const {
  if (keysym == XCB_NO_SYMBOL) return {};
  const std::size_t rows = perKeycode_ == 0 ? 0 : keysyms_.size() / perKeycode_;
  for (std::size_t column = 0; column < std::min<std::size_t>(2, perKeycode_); ++column) {
    std::vector<xcb_keycode_t> found;
    for (std::size_t row = 0; row < rows; ++row)
      if (keysyms_[row * perKeycode_ + column] == keysym)
        found.push_back(static_cast<xcb_keycode_t>(minKeycode_ + row));
    if (!found.empty()) return found;
  }
  return {};
}

}  // namespace tilvane::x11
