#include "platform/apps/ApplicationIdentifier.h"

#include <algorithm>
#include <cctype>

namespace tilvane::apps {

bool sameApplication(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace tilvane::apps
