#pragma once

#include "Models/LayoutTypeTable.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

/// What an application's rule does with its windows; stored as its raw value in RuleLayoutModel::type().
enum class RuleLayoutType : std::int64_t {
  auto_,     ///< `auto` (a keyword in C++): no rule of its own; windows return to their remembered places
  fix,       ///< windows take the rectangle spanned by the selected cells
  arranged,  ///< windows are placed in the selected cells one after another
  ignore,    ///< the rule gives no frame
};

inline constexpr LayoutTypeTable<RuleLayoutType, 4> ruleLayoutTypes{
    {l10n::key("AutoLayoutWithTilvane"), l10n::key("FixedPositionAndSize"), l10n::key("MatrixArrangedLayout"), l10n::key("DoNotLayout")}};

}  // namespace tilvane
