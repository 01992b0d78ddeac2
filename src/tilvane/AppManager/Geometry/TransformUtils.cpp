#include "AppManager/Geometry/TransformUtils.h"

#include <algorithm>
#include <cmath>

#include "AppManager/Geometry/NSScreenExtension.h"

namespace tilvane {
namespace {
// Bit work is done on the unsigned form of a grid value, so no shift is ever of a negative value or of 64 or
// more bits.
constexpr std::uint64_t kTopBit = 63;

double finiteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

double primaryHeight() {
  const std::optional<NSScreen> primary = NSScreenExtension::primary();
  return primary ? primary->frame.size.height : 0.0;
}

// Width and height of a stored placement: at most `limit` (the whole frame, or more by the gaps a placement
// takes off), nothing below 0, and nearly the whole frame counts as the whole frame.
double snapExtent(double v, double limit) {
  if (std::isnan(v)) return 0.0;
  if (v > limit) v = limit;
  if (v <= 0.0) v = 0.0;
  if (v > 0.96 && v <= 1.0) v = 1.0;
  return v;
}

// The limit of an extent of `side` points whose placement takes off `gap` at each end.
double extentLimit(double side, double gap) { return side > 0 && gap > 0 ? 1.0 + 2 * gap / side : 1.0; }
}  // namespace

constexpr int kMaxGridSide = 64;

TransformUtils::Matrix TransformUtils::matrix(std::int64_t value, int width, int height) {
  const auto bits = static_cast<std::uint64_t>(value);
  // A stored grid is at most 8 x 8; a damaged record must not make us allocate millions of cells.
  const std::size_t columns = static_cast<std::size_t>(std::clamp(width, 0, kMaxGridSide));
  const std::size_t rows = static_cast<std::size_t>(std::clamp(height, 0, kMaxGridSide));
  Matrix grid(rows, std::vector<bool>(columns, false));
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      const std::uint64_t i = static_cast<std::uint64_t>(r) * columns + c;
      grid[rows - 1 - r][columns - 1 - c] = ((bits >> std::min(i, kTopBit)) & 1U) != 0;
    }
  }
  return grid;
}

std::int64_t TransformUtils::matrixValue(const Matrix& grid) {
  std::uint64_t sum = 0;
  const std::size_t rows = grid.size();
  for (std::size_t i = 0; i < rows; ++i) {
    const auto& row = grid[rows - 1 - i];
    const std::size_t n = row.size();
    for (std::size_t j = 0; j < n; ++j) {
      if (!row[n - 1 - j]) continue;
      const std::uint64_t position = static_cast<std::uint64_t>(i) * n + j;
      if (position <= kTopBit) sum += std::uint64_t{1} << position;  // wraps, never undefined
    }
  }
  return static_cast<std::int64_t>(sum);
}

std::optional<CGRect> TransformUtils::spanRect(const Matrix& grid) {
  if (grid.empty() || grid.front().empty()) return std::nullopt;
  const double rowCount = static_cast<double>(grid.size());
  const double columnCount = static_cast<double>(grid.front().size());
  bool found = false;
  std::size_t startRow = 0, startColumn = 0, endRow = 0, endColumn = 0;
  for (std::size_t r = 0; r < grid.size(); ++r) {
    for (std::size_t c = 0; c < grid[r].size(); ++c) {
      if (!grid[r][c]) continue;
      if (!found) {
        found = true;
        startRow = r;
        startColumn = c;
      }
      endRow = r;
      endColumn = c;
    }
  }
  if (!found) return std::nullopt;
  const auto d = [](std::size_t v) { return static_cast<double>(v); };
  return CGRectMake(d(startColumn) / columnCount, d(startRow) / rowCount,
                    (d(endColumn) - d(startColumn) + 1) / columnCount, (d(endRow) - d(startRow) + 1) / rowCount);
}

CGRect TransformUtils::cellRect(const Matrix& grid, int index) {
  std::int64_t selected = 0;
  for (const auto& row : grid) selected += std::count(row.begin(), row.end(), true);
  if (selected == 0) return CGRectMake(0, 0, 1.0, 1.0);
  std::int64_t k = ((static_cast<std::int64_t>(index) % selected) + selected) % selected;
  const double rowCount = static_cast<double>(grid.size());
  for (std::size_t r = 0; r < grid.size(); ++r) {
    const double n = static_cast<double>(grid[r].size());
    for (std::size_t c = 0; c < grid[r].size(); ++c) {
      if (!grid[r][c]) continue;
      if (k-- == 0) return CGRectMake(static_cast<double>(c) / n, static_cast<double>(r) / rowCount, 1.0 / n, 1.0 / rowCount);
    }
  }
  return CGRectMake(0, 0, 1.0, 1.0);  // not reached: k < selected
}

TransformUtils::Matrix TransformUtils::matrixRect(int width, int height, const CGRect& rect) {
  const std::size_t columns = static_cast<std::size_t>(std::max(width, 0));
  const std::size_t rows = static_cast<std::size_t>(std::max(height, 0));
  const double w = static_cast<double>(columns);
  const double h = static_cast<double>(rows);
  const double x0 = w * rect.origin.x;
  const double x1 = w * (rect.origin.x + std::fabs(rect.size.width));
  const double y0 = h * rect.origin.y;
  const double y1 = h * (rect.origin.y + std::fabs(rect.size.height));
  Matrix grid;
  grid.reserve(rows);
  for (std::size_t r = 0; r < rows; ++r) {
    const double rd = static_cast<double>(r);
    std::vector<bool> row(columns, false);
    for (std::size_t c = 0; c < columns; ++c) {
      const double cd = static_cast<double>(c);
      row[c] = rd >= y0 && rd < y1 && cd >= x0 && cd < x1;  // NaN bounds select nothing
    }
    grid.push_back(std::move(row));
  }
  return grid;
}

CGRect TransformUtils::convert(const CGRect& fraction, const CGRect& frame) {
  return convert(fraction, frame, primaryHeight());
}

CGRect TransformUtils::convert(const CGRect& fraction, const CGRect& frame, double primaryHeight) {
  const double fw = std::fabs(frame.size.width);
  const double fh = std::fabs(frame.size.height);
  return CGRectMake(finiteOrZero(frame.origin.x + fw * fraction.origin.x),
                    finiteOrZero(primaryHeight - frame.origin.y - fh + fh * fraction.origin.y),
                    finiteOrZero(std::fabs(fraction.size.width) * fw),
                    finiteOrZero(std::fabs(fraction.size.height) * fh));
}

CGRect TransformUtils::ratio(const CGRect& window, const CGRect& frame) {
  return ratio(window, frame, primaryHeight());
}

CGRect TransformUtils::ratio(const CGRect& window, const CGRect& frame, double primaryHeight) {
  return placementRatio(window, frame, 0, primaryHeight);
}

CGRect TransformUtils::placementRatio(const CGRect& asked, const CGRect& frame, double gap) {
  return placementRatio(asked, frame, gap, primaryHeight());
}

CGRect TransformUtils::placementRatio(const CGRect& asked, const CGRect& frame, double gap, double primaryHeight) {
  const double fw = std::fabs(frame.size.width);
  const double fh = std::fabs(frame.size.height);
  return CGRectMake(finiteOrZero((asked.origin.x - frame.origin.x) / fw),
                    finiteOrZero((fh - primaryHeight + frame.origin.y + asked.origin.y) / fh),
                    snapExtent(std::fabs(asked.size.width) / fw, extentLimit(fw, gap)),
                    snapExtent(std::fabs(asked.size.height) / fh, extentLimit(fh, gap)));
}

}  // namespace tilvane
