#include "platform/apps/ApplicationIdentifier.h"

#include <algorithm>
#include <cctype>

namespace tilvane::apps {
namespace {

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string folded(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return folded(c); });
  return lower;
}

}  // namespace

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return folded(x) == folded(y); });
}

void GuessedClasses::add(std::string_view identifier) { folded_.insert(folded(identifier)); }

bool GuessedClasses::contains(std::string_view identifier) const {
  return !folded_.empty() && folded_.contains(folded(identifier));
}

}  // namespace tilvane::apps
