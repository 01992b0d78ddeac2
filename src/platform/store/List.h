#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "platform/store/detail/ListRef.h"

namespace tilvane::store {

/// An ordered list of references to objects of class T, as a model's list property: a live view of the
/// owner's list. While the owner is unmanaged the list lives in memory; once it is stored, the list is read
/// from the database at each call and may only be changed inside a write transaction. Removing an entry
/// leaves the referenced object stored; deleting an object removes it from every list.
template <class T>
class List {
 public:
  explicit List(detail::ListRef ref) : ref_(std::move(ref)) {}

  std::size_t size() const { return ref_.size(); }
  bool empty() const { return size() == 0; }
  /// Throws std::out_of_range for an index at or past the end.
  std::shared_ptr<T> at(std::size_t index) const { return std::static_pointer_cast<T>(ref_.at(index)); }
  std::shared_ptr<T> operator[](std::size_t index) const { return at(index); }
  /// The position of `object` (the same stored object, or the same unmanaged instance).
  std::optional<std::size_t> indexOf(const std::shared_ptr<T>& object) const {
    return object ? ref_.indexOf(*object) : std::nullopt;
  }
  /// The entries in order.
  std::vector<std::shared_ptr<T>> toVector() const {
    std::vector<std::shared_ptr<T>> result;
    for (auto& o : ref_.snapshot()) result.push_back(std::static_pointer_cast<T>(std::move(o)));
    return result;
  }

  /// Appends; on a stored list an unmanaged object is stored with it.
  void append(const std::shared_ptr<T>& object) { ref_.append(object); }
  void append(const std::vector<std::shared_ptr<T>>& objects) {
    for (const auto& o : objects) ref_.append(o);
  }
  /// Throws std::out_of_range for an index at or past the end.
  void remove(std::size_t index) { ref_.remove(index); }
  void removeAll() { ref_.removeAll(); }

 private:
  detail::ListRef ref_;
};

}  // namespace tilvane::store
