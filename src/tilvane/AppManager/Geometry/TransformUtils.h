#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop/Geometry.h"

namespace tilvane {

/// Geometry of grids and frames, without state.
///
/// A grid is a list of rows, row 0 at the top, each a list of cells, cell 0 at the left; a true cell is
/// selected. A grid value packs a grid into a signed 64-bit integer as stored: cell (r, c) of a rows × columns
/// grid is bit (rows − 1 − r) × columns + (columns − 1 − c), so the top-left cell is the highest used bit (on an
/// 8 × 8 grid the sign bit: the full grid is −1). A fractional rectangle gives x, y, width and height as
/// fractions of a reference, measured from its top-left corner with y growing downwards.
///
/// Display frames are in the display space (bottom-left origin, y up), window frames in the window space
/// (top-left origin of the primary display, y down); the height of the primary display's frame is the pivot.
struct TransformUtils {
  /// A grid: rows from the top, cells from the left, true when selected.
  using Matrix = std::vector<std::vector<bool>>;

  /// The grid of `height` rows × `width` columns packed in `value`. Cells beyond bit 63 repeat bit 63 (the sign);
  /// a negative width or height counts as 0.
  static Matrix matrix(std::int64_t value, int width, int height);

  /// The grid value of `grid`, the inverse of matrix() for rectangular grids. Cells beyond bit 63 are ignored.
  static std::int64_t matrixValue(const Matrix& grid);

  /// The fractional rectangle from the first to the last selected cell in reading order (a block's own
  /// rectangle; for other selections width or height can be negative). Absent when nothing is selected or the
  /// grid has no rows or an empty first row: there is no frame to move to.
  static std::optional<CGRect> spanRect(const Matrix& grid);

  /// The fractional rectangle of the selected cell number `index` (modulo the number of selected cells, in
  /// reading order); the whole reference (0, 0, 1, 1) when nothing is selected.
  static CGRect cellRect(const Matrix& grid, int index);

  /// The `height` × `width` grid of the cells whose top-left corner lies in `rect` (fractions, half-open).
  static Matrix matrixRect(int width, int height, const CGRect& rect);

  /// The window frame that covers `fraction` of the display frame `frame`, pivoting on the primary display
  /// (read now; height 0 when there is no display). Never non-finite: a component that would be is 0.
  static CGRect convert(const CGRect& fraction, const CGRect& frame);
  /// convert() with the primary display's height given.
  static CGRect convert(const CGRect& fraction, const CGRect& frame, double primaryHeight);

  /// The fractions of the display frame `frame` that the window frame `window` covers: width and height limited
  /// to 1.0, 0 when not above 0, and 1.0 when above 0.96. Pivots on the primary display as convert() does.
  /// Never non-finite: x or y that would be is 0, a width or height that would be NaN is 0.
  static CGRect ratio(const CGRect& window, const CGRect& frame);
  /// ratio() with the primary display's height given.
  static CGRect ratio(const CGRect& window, const CGRect& frame, double primaryHeight);

  /// ratio() of `asked`, a frame that a placement keeping `gap` to it asks for: its width and height are limited
  /// to the whole frame plus twice the gap (the window then stands against both edges), not to 1.0, and are 1.0
  /// when above 0.96 and at most 1.0. With a gap of 0, ratio().
  static CGRect placementRatio(const CGRect& asked, const CGRect& frame, double gap, double primaryHeight);
  /// placementRatio() pivoting on the primary display read now.
  static CGRect placementRatio(const CGRect& asked, const CGRect& frame, double gap);
};

}  // namespace tilvane
