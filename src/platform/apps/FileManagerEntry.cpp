#include "platform/apps/FileManagerEntry.h"

#include <cstdlib>

#include "platform/base/XdgPaths.h"

namespace tilvane::apps {
namespace {

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

/// Calls `each` with every non-empty item of a ';'-separated list.
template <class Each>
void forEachItem(std::string_view list, Each each) {
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find(';', start), list.size());
    if (const std::string_view item = trim(list.substr(start, end - start)); !item.empty()) each(item);
    start = end + 1;
  }
}

}  // namespace

std::vector<std::string> defaultApplicationsIn(std::string_view text, std::string_view mediaType) {
  constexpr std::string_view kSuffix = ".desktop";
  std::vector<std::string> ids;
  bool inDefaults = false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inDefaults = line == "[Default Applications]";
      continue;
    }
    const auto equals = line.find('=');
    if (!inDefaults || equals == std::string_view::npos || trim(line.substr(0, equals)) != mediaType) continue;
    forEachItem(line.substr(equals + 1), [&](std::string_view item) {
      if (item.size() > kSuffix.size() && item.substr(item.size() - kSuffix.size()) == kSuffix)
        ids.emplace_back(item.substr(0, item.size() - kSuffix.size()));
    });
  }
  return ids;
}

bool listsMediaType(std::string_view mimeTypes, std::string_view mediaType) {
  bool listed = false;
  forEachItem(mimeTypes, [&](std::string_view item) { listed = listed || item == mediaType; });
  return listed;
}

std::vector<std::filesystem::path> mimeappsFiles(const std::vector<std::filesystem::path>& applicationFolders) {
  std::vector<std::filesystem::path> files{xdg::configHome() / "mimeapps.list"};
  const char* configDirs = std::getenv("XDG_CONFIG_DIRS");
  const std::string dirs = configDirs && *configDirs ? configDirs : "/etc/xdg";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    if (end > start) files.push_back(std::filesystem::path(dirs.substr(start, end - start)) / "mimeapps.list");
    start = end + 1;
  }
  for (const auto& folder : applicationFolders) {
    files.push_back(folder / "mimeapps.list");
    files.push_back(folder / "defaults.list");  // the older name some distributions still ship
  }
  return files;
}

}  // namespace tilvane::apps
