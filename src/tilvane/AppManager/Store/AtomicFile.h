#pragma once

#include <filesystem>
#include <string_view>

namespace tilvane {

/// Writes `bytes` to a new file beside `path`, syncs it and renames it over `path`, so a reader sees the old
/// file or the whole new one, never a part. Returns false (leaving `path` untouched and no stray file) when
/// any step fails. The folder must exist.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tilvane
