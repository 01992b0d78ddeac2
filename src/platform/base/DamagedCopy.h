#pragma once

#include <ctime>
#include <filesystem>

namespace tilvane {

/// Where a damaged file is kept before anything replaces it: beside it, named for the moment it was found
/// damaged, `<file>.damaged-YYYYMMDD-HHMMSS` in local time.
std::filesystem::path damagedCopyName(const std::filesystem::path& file, std::time_t now);

/// A copy kept beside `file` earlier (named as damagedCopyName names them) that holds the same bytes as `file`
/// does now and was made after `file` was last written; empty when there is none, or `file` cannot be read. The
/// same damage is then kept once, however often it is found; once the file has been written again (a save, or
/// a hand edit), the same bytes found later are a damage of their own.
std::filesystem::path keptDamagedCopy(const std::filesystem::path& file);

}  // namespace tilvane
