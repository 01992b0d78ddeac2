#include "Models/RuleLayoutType.h"

#include "platform/l10n/Localization.h"

namespace tilvane {

std::optional<RuleLayoutType> ruleLayoutType(std::int64_t rawValue) {
  for (const auto type : allRuleLayoutTypes)
    if (static_cast<std::int64_t>(type) == rawValue) return type;
  return std::nullopt;
}

std::string_view titleKey(RuleLayoutType type) {
  switch (type) {
    case RuleLayoutType::auto_:
      return l10n::key("AutoLayoutWithTilvane");
    case RuleLayoutType::fix:
      return l10n::key("FixedPositionAndSize");
    case RuleLayoutType::arranged:
      return l10n::key("MatrixArrangedLayout");
    case RuleLayoutType::ignore:
      return l10n::key("DoNotLayout");
  }
  return {};
}

}  // namespace tilvane
