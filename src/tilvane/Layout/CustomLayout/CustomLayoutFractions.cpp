#include "Layout/CustomLayout/CustomLayoutFractions.h"

#include <algorithm>

#include "AppManager/Geometry/TransformUtils.h"
#include "Models/CustomLayoutModel.h"

namespace tilvane {
namespace {

// A stored grid dimension as a count the grid helpers take; a damaged value must not wrap into a small one.
int gridSide(std::int64_t stored) { return static_cast<int>(std::clamp<std::int64_t>(stored, 0, 64)); }

std::int64_t selectedCount(const TransformUtils::Matrix& grid) {
  std::int64_t count = 0;
  for (const auto& row : grid) count += std::count(row.begin(), row.end(), true);
  return count;
}

}  // namespace

std::optional<CGRect> customLayoutFractions(const CustomLayoutModel& layout, std::uint32_t windowID,
                                            std::int64_t& index, std::uint32_t& cycleWindowID) {
  const auto type = customLayoutTypes.fromRaw(layout.type());
  if (!type || *type == CustomLayoutType::ignore) return std::nullopt;
  const TransformUtils::Matrix grid =
      TransformUtils::matrix(layout.matrixValue(), gridSide(layout.width()), gridSide(layout.height()));
  if (*type == CustomLayoutType::fix) return TransformUtils::spanRect(grid);

  if (windowID != cycleWindowID) {
    cycleWindowID = windowID;
    index = 0;
  }
  // The counter only grows; wrap it here so any count of presses stays a valid cell number.
  const std::int64_t cells = selectedCount(grid);
  const int cell = cells > 0 ? static_cast<int>(((index % cells) + cells) % cells) : 0;
  ++index;
  return TransformUtils::cellRect(grid, cell);
}

}  // namespace tilvane
