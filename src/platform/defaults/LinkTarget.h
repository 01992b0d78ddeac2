#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tilvane::defaults {

/// The file a write to `file` must replace: `file` itself, or, when it is a symbolic link (a settings file kept
/// in a dotfiles folder), the file the chain of links ends at, so the link stays one. None, with the reason in
/// `error`, for a loop of links or one that cannot be read.
std::optional<std::filesystem::path> linkTarget(const std::filesystem::path& file, std::string& error);

}  // namespace tilvane::defaults
