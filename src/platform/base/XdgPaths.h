#pragma once

#include <filesystem>
#include <vector>

namespace tilvane::xdg {

/// The XDG base folders, read from the environment at every call so tests can redirect them.
/// $XDG_DATA_HOME, else ~/.local/share
std::filesystem::path dataHome();
/// $XDG_CONFIG_HOME, else ~/.config
std::filesystem::path configHome();
/// $XDG_RUNTIME_DIR (made 0700 when missing), else /tmp/tilvane-<uid> when it is a private folder of ours;
/// empty when there is no safe place.
std::filesystem::path runtimeDir();
/// $XDG_DATA_DIRS split at ':', else /usr/local/share and /usr/share
std::vector<std::filesystem::path> dataDirs();
/// The home folder: $HOME, else the password database, else /tmp.
std::filesystem::path home();

}  // namespace tilvane::xdg
