#include "Models/CustomLayoutType.h"

#include "platform/l10n/Localization.h"

namespace tilvane {

std::optional<CustomLayoutType> customLayoutType(std::int64_t rawValue) {
  for (const auto type : allCustomLayoutTypes)
    if (static_cast<std::int64_t>(type) == rawValue) return type;
  return std::nullopt;
}

std::string_view titleKey(CustomLayoutType type) {
  switch (type) {
    case CustomLayoutType::ignore:
      return l10n::key("Disabled");
    case CustomLayoutType::fix:
      return l10n::key("FixedPositionAndSize");
    case CustomLayoutType::arranged:
      return l10n::key("MatrixArrangedLayout");
  }
  return {};
}

}  // namespace tilvane
