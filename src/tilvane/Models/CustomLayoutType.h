#pragma once

#include "Models/LayoutTypeTable.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

/// What a custom layout does; stored as its raw value in CustomLayoutModel::type().
enum class CustomLayoutType : std::int64_t {
  ignore,    ///< nothing
  fix,       ///< the focused window takes the rectangle spanned by the selected cells
  arranged,  ///< successive uses place the focused window in the selected cells one after another
};

inline constexpr LayoutTypeTable<CustomLayoutType, 3> customLayoutTypes{
    {l10n::key("Disabled"), l10n::key("FixedPositionAndSize"), l10n::key("MatrixArrangedLayout")}};

}  // namespace tilvane
