#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace tilvane::l10n::detail {

/// (language, JSON text of its table), one entry per resources/l10n/*.json, generated at build time.
const std::vector<std::pair<std::string_view, std::string_view>>& embeddedTables();

}  // namespace tilvane::l10n::detail
