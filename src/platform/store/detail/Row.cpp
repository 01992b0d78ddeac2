#include "platform/store/detail/Row.h"

#include "platform/store/Object.h"
#include "platform/store/ObjectSchema.h"

namespace tilvane::store::detail {

const std::string& Row::primaryKeyValue() const {
  static const std::string none;
  const auto* key = std::get_if<std::string>(&values[schema->primaryKeyIndex()]);
  return key ? *key : none;
}

std::shared_ptr<Object> Row::accessor() const {
  for (const auto& weak : accessors)
    if (auto object = weak.lock()) return object;
  return nullptr;
}

}  // namespace tilvane::store::detail
