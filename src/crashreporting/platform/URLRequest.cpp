#include "crashreporting/platform/URLRequest.h"

#include <strings.h>

namespace crashreporting {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::optional<std::string> headerFieldValue(const HeaderFields& fields, std::string_view name) {
  for (const auto& [field, value] : fields)
    if (sameName(field, name)) return value;
  return std::nullopt;
}

std::optional<std::string> URLRequest::valueForHTTPHeaderField(std::string_view field) const {
  return headerFieldValue(fields_, field);
}

void URLRequest::setValue(std::string value, std::string_view field) {
  for (auto it = fields_.begin(); it != fields_.end(); ++it) {
    if (!sameName(it->first, field)) continue;
    it->second = std::move(value);
    std::erase_if(fields_, [&, kept = &*it](const auto& entry) { return &entry != kept && sameName(entry.first, field); });
    return;
  }
  fields_.emplace_back(std::string(field), std::move(value));
}

void URLRequest::addValue(std::string_view value, std::string_view field) {
  for (auto& [name, existing] : fields_) {
    if (!sameName(name, field)) continue;
    existing.append(",").append(value);
    return;
  }
  fields_.emplace_back(std::string(field), std::string(value));
}

Error makeURLError(std::int64_t code, const std::string& url, const std::string& description) {
  Error error{kURLErrorDomain, code, {}, {}};
  error.userInfo.emplace(kURLErrorFailingURLStringKey, Value(url));
  if (!description.empty()) error.userInfo.emplace(kLocalizedDescriptionKey, Value(description));
  return error;
}

}  // namespace crashreporting
