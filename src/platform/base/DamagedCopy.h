#pragma once

#include <ctime>
#include <filesystem>

namespace tilvane {

/// Where a damaged file is kept before anything replaces it: beside it, named for the moment it was found
/// damaged, `<file>.damaged-YYYYMMDD-HHMMSS` in local time.
std::filesystem::path damagedCopyName(const std::filesystem::path& file, std::time_t now);

/// A copy kept beside `file` earlier that holds the same bytes as `file` does now and that counts as this damage
/// kept already: one noted since the program last saved `file` (noteDamagedCopy), or one made after `file` was
/// last written. Empty when there is none, or `file` cannot be read. So a damage is kept and said once while the
/// program saves nothing, whatever writes or touches the file meanwhile and however often the program starts;
/// once it saved the file, the same bytes found later are a damage of their own.
std::filesystem::path keptDamagedCopy(const std::filesystem::path& file);

/// Notes `copy`, just made of `file`'s damaged bytes, in the record beside it (`<file>.damage-kept`, one name a
/// line), which outlives the process.
void noteDamagedCopy(const std::filesystem::path& file, const std::filesystem::path& copy);

/// Forgets the copies noted for `file`: the program has saved it.
void forgetDamagedCopies(const std::filesystem::path& file);

}  // namespace tilvane
