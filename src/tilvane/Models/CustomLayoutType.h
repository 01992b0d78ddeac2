#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tilvane {

/// What a custom layout does; stored as its raw value in CustomLayoutModel::type().
enum class CustomLayoutType : std::int64_t {
  ignore = 0,    ///< nothing
  fix = 1,       ///< the focused window takes the rectangle spanned by the selected cells
  arranged = 2,  ///< successive uses place the focused window in the selected cells one after another
};

/// Every case, in raw-value order (the order the editor lists them in).
inline constexpr std::array<CustomLayoutType, 3> allCustomLayoutTypes = {
    CustomLayoutType::ignore, CustomLayoutType::fix, CustomLayoutType::arranged};

/// The case of a stored raw value; absent for values outside 0 to 2.
std::optional<CustomLayoutType> customLayoutType(std::int64_t rawValue);

/// The localisation key of the case's title: "Disabled", "FixedPositionAndSize", "MatrixArrangedLayout".
std::string_view titleKey(CustomLayoutType type);

}  // namespace tilvane
