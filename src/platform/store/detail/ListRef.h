#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace tilvane::store {

class Object;

namespace detail {

struct Row;

/// The untyped operations of a list property, on the owner's row: in memory while the owner is unmanaged,
/// in the database (inside write transactions for changes) once it is stored.
class ListRef {
 public:
  ListRef(std::shared_ptr<Row> row, std::size_t property);

  std::size_t size() const;
  /// Throws std::out_of_range for an index at or past the end.
  std::shared_ptr<Object> at(std::size_t index) const;
  std::optional<std::size_t> indexOf(const Object& object) const;
  std::vector<std::shared_ptr<Object>> snapshot() const;

  /// Appends a reference; on a stored list an unmanaged element is stored too.
  void append(const std::shared_ptr<Object>& object);
  /// Removes the reference at `index` (the element itself stays stored). Throws std::out_of_range.
  void remove(std::size_t index);
  void removeAll();
  void assign(const std::vector<std::shared_ptr<Object>>& objects);

 private:
  void checkElement(const Object& object) const;

  std::shared_ptr<Row> row_;
  std::size_t property_;
};

}  // namespace detail
}  // namespace tilvane::store
