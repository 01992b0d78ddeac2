#pragma once

#include <optional>
#include <string_view>

namespace tilvane::updates {

/// Whether `version` is dot-separated decimal numbers ("1", "1.2", "10.0.3"), at most 16 parts of at most 18
/// digits each.
bool isNumericVersion(std::string_view version);

/// Compares two numeric versions part by part as numbers, a missing part counting as 0 ("1.2" = "1.2.0" <
/// "1.10"): negative, 0 or positive as `a` is older than, the same as or newer than `b`. Absent when either is
/// not a numeric version.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

}  // namespace tilvane::updates
