#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace tilvane {

/// A multimap from 64-bit keys to positions in one flat table (open addressing, linear probing): an entry
/// costs no allocation of its own, where a node container allocates one for every record admitted. A key may
/// hold several positions; what a key means (a window number, a hash, a slot) is the caller's.
class PositionIndex {
 public:
  using Position = std::uint32_t;

  void insert(std::uint64_t key, Position position) {
    if ((used_ + 1) * 2 > slots_.size()) grow();
    place(key, position);
    ++live_;
  }

  /// Calls `visit(Position&)` for each position held under `key`, in no set order, until it returns false.
  /// The position may be changed in place.
  template <typename Visit>
  void visit(std::uint64_t key, Visit&& visit) {
    if (slots_.empty()) return;
    for (std::size_t i = home(key);; i = (i + 1) & mask()) {
      Slot& slot = slots_[i];
      if (slot.position == kEmpty) return;
      if (slot.position != kErased && slot.key == key && !visit(slot.position)) return;
    }
  }

  /// The first position held under `key`, to read or change in place; null when none. For keys that hold one.
  Position* find(std::uint64_t key) {
    Position* found = nullptr;
    visit(key, [&found](Position& p) {
      found = &p;
      return false;
    });
    return found;
  }

  /// Removes one entry of `key` at `position`; false when there is none.
  bool erase(std::uint64_t key, Position position) {
    bool erased = false;
    visit(key, [&](Position& held) {
      if (held != position) return true;
      held = kErased;
      erased = true;
      return false;
    });
    if (erased) --live_;
    return erased;
  }

  std::size_t size() const { return live_; }

 private:
  static constexpr Position kEmpty = std::numeric_limits<Position>::max();
  static constexpr Position kErased = kEmpty - 1;
  struct Slot {
    std::uint64_t key = 0;
    Position position = kEmpty;
  };

  std::size_t mask() const { return slots_.size() - 1; }
  std::size_t home(std::uint64_t key) const {
    // Window numbers come in runs: mixed, so that runs do not crowd one stretch of the table.
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 32) & mask();
  }
  void place(std::uint64_t key, Position position) {
    std::size_t i = home(key);
    while (slots_[i].position != kEmpty) i = (i + 1) & mask();
    slots_[i] = Slot{key, position};
    ++used_;
  }
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    // Erased entries are dropped on the way. At most a quarter full afterwards, so rebuilding stays rare
    // however entries come and go.
    std::size_t size = old.empty() ? 16 : old.size();
    while ((live_ + 1) * 4 > size) size *= 2;
    slots_.assign(size, Slot{});
    used_ = 0;
    for (const Slot& slot : old)
      if (slot.position != kEmpty && slot.position != kErased) place(slot.key, slot.position);
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;  // live and erased entries: both lengthen the probes
  std::size_t live_ = 0;
};

}  // namespace tilvane
