#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tilvane {

/// What an application's rule does with its windows; stored as its raw value in RuleLayoutModel::type().
enum class RuleLayoutType : std::int64_t {
  auto_ = 0,     ///< `auto` (a keyword in C++): no rule of its own; windows return to their remembered places
  fix = 1,       ///< windows take the rectangle spanned by the selected cells
  arranged = 2,  ///< windows are placed in the selected cells one after another
  ignore = 3,    ///< the rule gives no frame
};

/// Every case, in raw-value order (the order the editor lists them in).
inline constexpr std::array<RuleLayoutType, 4> allRuleLayoutTypes = {RuleLayoutType::auto_, RuleLayoutType::fix,
                                                                     RuleLayoutType::arranged, RuleLayoutType::ignore};

/// The case of a stored raw value; absent for values outside 0 to 3.
std::optional<RuleLayoutType> ruleLayoutType(std::int64_t rawValue);

/// The localisation key of the case's title: "AutoLayoutWithTilvane", "FixedPositionAndSize",
/// "MatrixArrangedLayout", "DoNotLayout".
std::string_view titleKey(RuleLayoutType type);

}  // namespace tilvane
