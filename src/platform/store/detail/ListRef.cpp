#include "platform/store/detail/ListRef.h"

#include <stdexcept>
#include <string>

#include "platform/store/Database.h"
#include "platform/store/Object.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/Row.h"

namespace tilvane::store::detail {

ListRef::ListRef(std::shared_ptr<Row> row, std::size_t property) : row_(std::move(row)), property_(property) {}

std::size_t ListRef::size() const {
  if (row_->owner) return row_->owner->listSize(*row_, property_);
  return row_->lists[property_].size();
}

std::shared_ptr<Object> ListRef::at(std::size_t index) const {
  if (row_->owner) return row_->owner->listAt(*row_, property_, index);
  const auto& list = row_->lists[property_];
  if (index >= list.size()) throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  return list[index];
}

std::vector<std::shared_ptr<Object>> ListRef::snapshot() const {
  if (row_->owner) return row_->owner->listSnapshot(*row_, property_);
  return row_->lists[property_];
}

std::optional<std::size_t> ListRef::indexOf(const Object& object) const {
  const auto elements = snapshot();
  for (std::size_t i = 0; i < elements.size(); ++i)
    if (elements[i]->row_ == object.row_) return i;
  return std::nullopt;
}

void ListRef::checkElement(const Object& object) const {
  const auto& target = row_->schema->properties()[property_].targetSchema();
  if (object.objectSchema().className() != target.className())
    throw LogicError("a list of '" + target.className() + "' cannot hold a '" + object.objectSchema().className() + "'");
}

void ListRef::append(const std::shared_ptr<Object>& object) {
  if (!object) throw LogicError("cannot append a null object");
  checkElement(*object);
  if (row_->owner)
    row_->owner->listAppend(*row_, property_, object);
  else
    row_->lists[property_].push_back(object);
}

void ListRef::remove(std::size_t index) {
  if (row_->owner) return row_->owner->listRemove(*row_, property_, index);
  auto& list = row_->lists[property_];
  if (index >= list.size()) throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
}

void ListRef::removeAll() {
  if (row_->owner) return row_->owner->listClear(*row_, property_);
  row_->lists[property_].clear();
}

void ListRef::assign(const std::vector<std::shared_ptr<Object>>& objects) {
  for (const auto& o : objects) {
    if (!o) throw LogicError("cannot append a null object");
    checkElement(*o);
  }
  if (!row_->owner) {
    row_->lists[property_] = objects;
    return;
  }
  row_->owner->listClear(*row_, property_);
  for (const auto& o : objects) row_->owner->listAppend(*row_, property_, o);
}

}  // namespace tilvane::store::detail
