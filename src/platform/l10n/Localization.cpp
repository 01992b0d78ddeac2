#include "platform/l10n/Localization.h"

#include <cstdlib>
#include <map>

#include <nlohmann/json.hpp>

#include "platform/l10n/EmbeddedTables.h"

namespace tilvane {
namespace l10n {
namespace {

using Table = std::map<std::string, std::string, std::less<>>;

// Parsed once; a table that is not a JSON object of strings is a build defect, so its bad entries are skipped
// rather than taking the program down.
const std::map<std::string, Table, std::less<>>& tables() {
  static const auto parsed = [] {
    std::map<std::string, Table, std::less<>> result;
    for (const auto& [language, text] : detail::embeddedTables()) {
      auto& table = result[std::string(language)];
      const auto json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
      if (!json.is_object()) continue;
      for (const auto& [key, value] : json.items())
        if (value.is_string()) table.emplace(key, value.get<std::string>());
    }
    return result;
  }();
  return parsed;
}

const std::string* find(std::string_view language, std::string_view key) {
  const auto table = tables().find(language);
  if (table == tables().end()) return nullptr;
  const auto entry = table->second.find(key);
  return entry == table->second.end() ? nullptr : &entry->second;
}

std::string languageCode(std::string_view setting) {
  const auto end = setting.find_first_of("_.@:");
  return std::string(setting.substr(0, end));
}

}  // namespace

std::optional<std::string> lookup(std::string_view key, std::string_view language) {
  if (const auto* text = find(language, key)) return *text;
  return std::nullopt;
}

std::string localizedString(std::string_view key, std::string_view language) {
  if (auto text = lookup(key, language)) return std::move(*text);
  return lookup(key, "en").value_or(std::string(key));
}

std::string currentLanguage() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    const std::string code = languageCode(value);
    if (code.empty() || code == "C" || code == "POSIX") return "en";
    return code;
  }
  return "en";
}

}  // namespace l10n

std::string NSLocalizedString(std::string_view key) { return l10n::localizedString(key, l10n::currentLanguage()); }

}  // namespace tilvane
