#pragma once

#include "AppManager/Geometry/TransformUtils.h"

namespace tilvane {

/// `matrix` resampled to `rows` rows of `columns` cells, nearest cell first, the top-left corner fixed: new cell
/// (r, c) takes old cell (r / rows × old rows, c / columns × old columns), truncated. When no new cell is on, the
/// top-left one is turned on, so a grid never ends up empty. Only cells inside the old grid are read; an empty
/// old grid gives just the top-left cell. A count below 1 gives no rows (or rows without cells).
TransformUtils::Matrix resizeMatrix(const TransformUtils::Matrix& matrix, int columns, int rows);

}  // namespace tilvane
