#include "crashreporting/platform/Error.h"

namespace crashreporting {

std::string Error::localizedDescription() const {
  if (const auto it = userInfo.find(kLocalizedDescriptionKey); it != userInfo.end()) {
    if (const auto* text = it->second.get<std::string>()) return *text;
  }
  return "The operation couldn't be completed. (" + domain + " error " + std::to_string(code) + ".)";
}

std::string Error::description() const {
  return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription() + "\"";
}

const std::vector<Error>& Error::errorList(std::string_view key) const {
  static const std::vector<Error> none;
  const auto it = errorLists.find(key);
  return it == errorLists.end() ? none : it->second;
}

}  // namespace crashreporting
