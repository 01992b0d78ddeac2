#include "platform/updater/Versions.h"

#include <algorithm>
#include <vector>

namespace tilvane::updates {
namespace {

constexpr std::size_t kMaxParts = 16;
constexpr std::size_t kMaxDigits = 18;

// The parts without their leading zeros, so numbers compare by length, then digit by digit: no overflow.
std::optional<std::vector<std::string_view>> partsOf(std::string_view version) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = version.find('.', start);
    std::string_view part = version.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (part.empty() || part.size() > kMaxDigits || parts.size() == kMaxParts) return std::nullopt;
    for (const char c : part)
      if (c < '0' || c > '9') return std::nullopt;
    while (part.size() > 1 && part.front() == '0') part.remove_prefix(1);
    parts.push_back(part == "0" ? std::string_view{} : part);
    if (dot == std::string_view::npos) return parts;
    start = dot + 1;
  }
}

int compareParts(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

bool isNumericVersion(std::string_view version) { return partsOf(version).has_value(); }

std::optional<int> compareVersions(std::string_view a, std::string_view b) {
  const auto left = partsOf(a);
  const auto right = partsOf(b);
  if (!left || !right) return std::nullopt;
  const std::size_t count = std::max(left->size(), right->size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view x = i < left->size() ? (*left)[i] : std::string_view{};
    const std::string_view y = i < right->size() ? (*right)[i] : std::string_view{};
    if (const int order = compareParts(x, y)) return order;
  }
  return 0;
}

}  // namespace tilvane::updates
