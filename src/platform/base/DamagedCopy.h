#pragma once

#include <ctime>
#include <filesystem>

namespace tilvane {

/// Where a damaged file is kept before anything replaces it: beside it, named for the moment it was found
/// damaged, `<file>.damaged-YYYYMMDD-HHMMSS` in local time.
std::filesystem::path damagedCopyName(const std::filesystem::path& file, std::time_t now);

}  // namespace tilvane
