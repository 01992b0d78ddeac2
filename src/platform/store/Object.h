#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/store/ObjectSchema.h"
#include "platform/store/Value.h"
#include "platform/store/detail/ListRef.h"

namespace tilvane::store {

class Database;
class Object;
namespace detail {
struct Row;
/// Copies every value (and list contents) of `from` into the unmanaged `to` of the same class.
void copyValues(const Object& from, Object& to);
}  // namespace detail

/// The base of every stored model class. An object starts unmanaged: its values live in memory and may be
/// changed freely. Once added to a database it is managed: it presents one stored row, reads of that row on
/// the same database instance return the same object, and its setters may only run inside a write transaction
/// of that instance, on its thread (otherwise they throw LogicError and change nothing). A deleted object
/// reports isInvalidated() and keeps its last values.
///
/// Objects are always held by std::shared_ptr (make them with std::make_shared).
class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  const ObjectSchema& objectSchema() const { return *schema_; }
  /// The name of the primary-key property of every model: "id".
  static std::string primaryKey() { return std::string(ObjectSchema::primaryKey); }

  /// True once added to a database (also after it was deleted there).
  bool isManaged() const;
  /// True when the stored row was deleted, or its creation was rolled back.
  bool isInvalidated() const;
  /// The database instance that stores the object; null while unmanaged.
  std::shared_ptr<Database> database() const;
  /// The value of the primary key. Like every text read, the reference holds while the object lives and the
  /// value is not changed.
  const std::string& primaryKeyValue() const;

  /// "ClassName { field = value; ...; list = [id, ...] }" on one line.
  std::string description() const;

 protected:
  /// Fills every property with its default.
  explicit Object(const ObjectSchema& schema);

  std::int64_t intValue(std::size_t property) const;
  double realValue(std::size_t property) const;
  /// Empty for a property that holds no text.
  const std::string& stringValue(std::size_t property) const;
  /// Sets a scalar property (see the class comment for the rules on managed objects).
  void setValue(std::size_t property, Value value);
  /// setValue for a number: an unmanaged object of a new record takes it without the general conversion.
  void setValue(std::size_t property, std::int64_t value);
  void setValue(std::size_t property, double value);
  detail::ListRef listRef(std::size_t property) const;

 private:
  friend class Database;
  friend class ObjectSchema;
  friend class detail::ListRef;
  friend void detail::copyValues(const Object& from, Object& to);

  void assignUnmanaged(std::size_t property, Value value);

  const ObjectSchema* schema_;
  std::shared_ptr<detail::Row> row_;
};

/// A new unmanaged object of the same class holding the same values (list properties reference the same
/// elements): the way to edit a stored object as a fresh copy and store it again with UpdatePolicy::all.
template <class T>
std::shared_ptr<T> unmanagedCopy(const T& object);

template <class T>
std::shared_ptr<T> unmanagedCopy(const T& object) {
  auto copy = std::make_shared<T>();
  detail::copyValues(object, *copy);
  return copy;
}

}  // namespace tilvane::store
