#pragma once

#include "AppManager/Geometry/TransformUtils.h"

namespace tilvane {

/// Rescales a grid to `height` rows of `width` cells by sampling: new row r takes old row
/// Int(oldRows × (r / height)), new cell c old cell Int(oldColumns × (c / width)), each computed in doubles and
/// truncated (4 → 6: 0, 0, 1, 2, 2, 3; 4 → 2: 0, 2). Growing repeats cells, shrinking drops them. When no cell of
/// the result is on, its top-left cell is switched on, so a rescaled grid is never empty. The old column count
/// is that of the first row; a cell the old grid lacks (ragged or empty input) reads as off. A width or height
/// below 1 gives an empty grid.
TransformUtils::Matrix resizeMatrix(const TransformUtils::Matrix& matrix, int width, int height);

}  // namespace tilvane
