#include "platform/apps/XdgApplicationSource.h"

#include <map>
#include <system_error>

#include "platform/apps/BundleReader.h"
#include "platform/apps/DesktopEntryFile.h"
#include "platform/apps/EntryIdentifier.h"
#include "platform/apps/FileManagerEntry.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"

namespace tilvane::apps {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxEntries = 10000;
constexpr int kMaxDepth = 4;
constexpr std::size_t kMaxListBytes = 256 * 1024;

std::vector<fs::path> environmentDataDirs() {
  std::vector<fs::path> dirs{xdg::dataHome()};
  for (const fs::path& dir : xdg::dataDirs()) dirs.push_back(dir);
  return dirs;
}

bool isApplication(const DesktopEntryFile& entry) { return entry.type == "Application" && !entry.hidden; }

}  // namespace

XdgApplicationSource::XdgApplicationSource() : XdgApplicationSource(environmentDataDirs()) {}

XdgApplicationSource::XdgApplicationSource(std::vector<fs::path> dataDirs) {
  for (const fs::path& dir : dataDirs)
    if (!dir.empty()) folders_.push_back(dir / "applications");
}

std::vector<std::string> XdgApplicationSource::applicationPaths() const {
  std::map<std::string, fs::path> byId;  // the first folder holding an id wins
  std::size_t seen = 0;
  for (const fs::path& folder : folders_) {
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error) continue;
    for (const fs::recursive_directory_iterator end; it != end && seen < kMaxEntries; it.increment(error)) {
      if (error) break;
      if (it.depth() >= kMaxDepth) it.disable_recursion_pending();
      ++seen;
      const fs::path& file = it->path();
      std::error_code typeError;
      if (!isDesktopEntryPath(file.string()) || !it->is_regular_file(typeError)) continue;
      byId.try_emplace(desktopEntryId(file, {folder}), file);
    }
  }
  std::vector<std::string> paths;
  for (const auto& [id, file] : byId) {
    const auto entry = readDesktopEntryFile(file);
    if (entry && isApplication(*entry) && !entry->noDisplay) paths.push_back(file.string());
  }
  return paths;
}

std::optional<InstalledApplication> XdgApplicationSource::applicationInfo(const std::string& path) const {
  if (!isDesktopEntryPath(path)) return readBundle(path);
  const auto entry = readDesktopEntryFile(path);
  if (!entry || !isApplication(*entry)) return std::nullopt;
  InstalledApplication app;
  const EntryIdentity identity = entryIdentity(path, *entry, folders_);
  app.bundleIdentifier = identity.identifier;
  app.identifierGuessed = identity.guessed;
  app.name = entry->name.empty() ? app.bundleIdentifier : entry->name;
  app.icon = entry->icon;
  return app;
}

std::optional<std::string> XdgApplicationSource::iconForPath(const std::string& path) const {
  if (!isDesktopEntryPath(path)) return bundleIconPath(path);
  const auto entry = readDesktopEntryFile(path);
  if (!entry || entry->icon.empty()) return std::nullopt;
  return entry->icon;
}

std::optional<InstalledApplication> XdgApplicationSource::fileManager() const {
  for (const fs::path& file : mimeappsFiles(folders_)) {
    const defaults::FileRead read = defaults::readFileBounded(file, kMaxListBytes);
    if (read.status != defaults::FileRead::Status::ok) continue;
    for (const std::string& id : defaultApplicationsIn(read.bytes, kFolderMediaType))
      if (const auto entry = findDesktopEntry(id, folders_))
        if (auto app = applicationInfo(entry->string())) return app;
  }
  for (const std::string& path : applicationPaths()) {
    const auto entry = readDesktopEntryFile(path);
    if (entry && listsMediaType(entry->mimeTypes, kFolderMediaType)) return applicationInfo(path);
  }
  return std::nullopt;
}

std::optional<std::string> XdgApplicationSource::pathForIdentifier(const std::string& identifier) const {
  const auto file = findDesktopEntry(identifier, folders_);
  if (!file) return std::nullopt;
  return file->string();
}

}  // namespace tilvane::apps
