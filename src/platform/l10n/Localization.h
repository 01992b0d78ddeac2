#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tilvane {

/// The text of `key` in the user's language: the table of the active language, else the English table, else
/// the key itself. The tables are compiled into the program (resources/l10n/<language>.json).
std::string NSLocalizedString(std::string_view key);

namespace l10n {

/// Marks a key that reaches NSLocalizedString later through a variable. Keys are written as string literals
/// either in an NSLocalizedString call or in this marker, so a scan of the sources finds every key in use.
constexpr const char* key(const char* text) { return text; }

/// The text of `key` in the table of `language` itself, without fallback; absent when it has none.
std::optional<std::string> lookup(std::string_view key, std::string_view language);

/// The text of `key` in `language` (e.g. "de"), falling back to English, then to the key.
std::string localizedString(std::string_view key, std::string_view language);

/// The active language, read from the environment at each call: the first entry of $LANGUAGE, else
/// $LC_ALL, $LC_MESSAGES, $LANG, reduced to its language code ("de_DE.UTF-8" → "de"); "en" when none is set
/// or the setting is "C" or "POSIX".
std::string currentLanguage();

}  // namespace l10n
}  // namespace tilvane
