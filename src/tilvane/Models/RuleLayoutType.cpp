#include "Models/RuleLayoutType.h"

namespace tilvane {

std::optional<RuleLayoutType> ruleLayoutType(std::int64_t rawValue) {
  for (const auto type : allRuleLayoutTypes)
    if (static_cast<std::int64_t>(type) == rawValue) return type;
  return std::nullopt;
}

std::string_view titleKey(RuleLayoutType type) {
  switch (type) {
    case RuleLayoutType::auto_:
      return "AutoLayoutWithTilvane";
    case RuleLayoutType::fix:
      return "FixedPositionAndSize";
    case RuleLayoutType::arranged:
      return "MatrixArrangedLayout";
    case RuleLayoutType::ignore:
      return "DoNotLayout";
  }
  return {};
}

}  // namespace tilvane
