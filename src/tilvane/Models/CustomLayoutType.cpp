#include "Models/CustomLayoutType.h"

namespace tilvane {

std::optional<CustomLayoutType> customLayoutType(std::int64_t rawValue) {
  for (const auto type : allCustomLayoutTypes)
    if (static_cast<std::int64_t>(type) == rawValue) return type;
  return std::nullopt;
}

std::string_view titleKey(CustomLayoutType type) {
  switch (type) {
    case CustomLayoutType::ignore:
      return "Disabled";
    case CustomLayoutType::fix:
      return "FixedPositionAndSize";
    case CustomLayoutType::arranged:
      return "MatrixArrangedLayout";
  }
  return {};
}

}  // namespace tilvane
