#include "Models/AutoLayoutModel.h"

#include <charconv>
#include <string>

namespace tilvane {

void AutoLayoutModel::makeId() { setId(idFor(bundleIdentifier(), windowIndex(), screenCount())); }

std::string AutoLayoutModel::idFor(const std::string& bundleIdentifier, std::int64_t windowIndex,
                                   std::int64_t screenCount) {
  // Made for every window met: one allocation.
  char numbers[48];
  char* end = numbers;
  *end++ = '-';
  end = std::to_chars(end, numbers + sizeof numbers, windowIndex).ptr;
  *end++ = '-';
  end = std::to_chars(end, numbers + sizeof numbers, screenCount).ptr;
  std::string id;
  id.reserve(bundleIdentifier.size() + static_cast<std::size_t>(end - numbers));
  id.append(bundleIdentifier).append(numbers, end);
  return id;
}

}  // namespace tilvane
