#include "platform/desktop/x11/SizeHints.h"

#include <algorithm>

namespace tilvane::x11 {
namespace {

// The flags of the fields used, and the fields' places among the 18.
constexpr std::uint32_t kMinSize = 1u << 4, kMaxSize = 1u << 5, kResizeInc = 1u << 6, kBaseSize = 1u << 8;
constexpr std::size_t kFlags = 0, kMin = 5, kMax = 7, kInc = 9, kBase = 15;
// Sizes beyond this are nonsense; the X protocol's own limit is 32767.
constexpr std::int64_t kLargest = 32767;

bool sensible(std::int64_t v, std::int64_t least) { return v >= least && v <= kLargest; }

std::int64_t stepped(std::int64_t v, std::int64_t base, std::int64_t step) {
  return v <= base ? v : base + (v - base) / step * step;
}

}  // namespace

std::pair<std::int64_t, std::int64_t> SizeHints::constrain(std::int64_t width, std::int64_t height) const {
  auto one = [](std::int64_t v, std::int64_t least, std::int64_t most, std::int64_t base, std::int64_t step) {
    if (most > 0) v = std::min(v, most);
    v = stepped(std::max(v, least), base, step);
    return std::max(v, least);
  };
  return {one(width, minWidth, maxWidth, baseWidth, widthStep),
          one(height, minHeight, maxHeight, baseHeight, heightStep)};
}

SizeHints sizeHintsFrom(const std::optional<PropertyValue>& normalHints) {
  SizeHints hints;
  // Older clients write 15 fields (no base size, no gravity).
  const auto fields = decodeList(normalHints, XCB_ATOM_WM_SIZE_HINTS, 18);
  if (!fields || fields->size() < kInc + 2) return hints;
  const auto& f = *fields;
  const std::uint32_t flags = f[kFlags];
  auto field = [&](std::size_t i) { return static_cast<std::int64_t>(static_cast<std::int32_t>(f[i])); };
  const bool hasMin = (flags & kMinSize) && sensible(field(kMin), 0) && sensible(field(kMin + 1), 0);
  const bool hasBase =
      (flags & kBaseSize) && f.size() > kBase + 1 && sensible(field(kBase), 0) && sensible(field(kBase + 1), 0);
  if (hasMin) hints.minWidth = field(kMin), hints.minHeight = field(kMin + 1);
  // Each stands in for the other where only one is given.
  if (hasBase) {
    hints.baseWidth = field(kBase), hints.baseHeight = field(kBase + 1);
    if (!hasMin) hints.minWidth = hints.baseWidth, hints.minHeight = hints.baseHeight;
  } else if (hasMin) {
    hints.baseWidth = hints.minWidth, hints.baseHeight = hints.minHeight;
  }
  if ((flags & kMaxSize) && sensible(field(kMax), 1) && sensible(field(kMax + 1), 1) &&
      field(kMax) >= hints.minWidth && field(kMax + 1) >= hints.minHeight)
    hints.maxWidth = field(kMax), hints.maxHeight = field(kMax + 1);
  if ((flags & kResizeInc) && sensible(field(kInc), 1) && sensible(field(kInc + 1), 1))
    hints.widthStep = field(kInc), hints.heightStep = field(kInc + 1);
  return hints;
}

}  // namespace tilvane::x11
