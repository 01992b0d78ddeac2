#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tilvane {

/// The text of `key` in the user's language: the table of the active language, else the English table, else
/// the key itself. The tables are compiled into the program (resources/l10n/<language>.json).
std::string NSLocalizedString(std::string_view key);

namespace l10n {

/// The text of `key` in `language` (e.g. "de"), falling back to English, then to the key.
std::string localizedString(std::string_view key, std::string_view language);

/// The active language, read from the environment at each call: the first entry of $LANGUAGE, else
/// $LC_ALL, $LC_MESSAGES, $LANG, reduced to its language code ("de_DE.UTF-8" → "de"); "en" when none is set
/// or the setting is "C" or "POSIX".
std::string currentLanguage();

/// The languages that have a table, sorted.
std::vector<std::string> availableLanguages();

}  // namespace l10n
}  // namespace tilvane
