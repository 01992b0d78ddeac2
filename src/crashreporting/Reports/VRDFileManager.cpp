#include "crashreporting/Reports/VRDFileManager.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/XdgPaths.h"

namespace fs = std::filesystem;

namespace crashreporting {

namespace {

constexpr const char* kDataFolder = "com.zizozu";
constexpr const char* kDiscardedSuffix = ".discarded";

std::string join(const std::string& directory, const std::string& name) { return (fs::path(directory) / name).string(); }

void log(const std::string& text) { SystemLog::write(text); }

/// Whether anything is at `path`; what cannot be looked at counts as something.
bool occupied(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

}  // namespace

VRDFileManager::VRDFileManager()
    : rootPath_((tilvane::xdg::cacheHome() / kDataFolder / ZIZApplicationGetFolderName().value_or("")).string()) {
}

VRDFileManager::VRDFileManager(std::string rootPath) : rootPath_(std::move(rootPath)) {}

bool VRDFileManager::createDirectoryAtPath(const std::string& path) const {
  std::error_code error;
  fs::create_directories(path, error);
  if (!error) fs::permissions(path, fs::perms(0755), error);
  if (error || !fs::is_directory(path, error)) {
    log("[FileManager] Unable to create directory " + path + " " + (error ? error.message() : "not a directory"));
    return false;
  }
  return true;
}

bool VRDFileManager::removeItemAtPath(const std::string& path) const {
  std::error_code error;
  // A file is unlinked: remove_all opens it as a folder first, which a shortage of descriptors refuses, and a sent
  // package that stays is sent again.
  if (fs::is_directory(fs::symlink_status(path, error))) {
    fs::remove_all(path, error);
  } else {
    error.clear();
    fs::remove(path, error);
  }
  if (!error && !occupied(path)) return true;
  log("[FileManager] Failed to remove file '" + path + "' : " + (error ? error.message() : "still present"));
  return false;
}

bool VRDFileManager::discardItemAtPath(const std::string& path) const {
  const fs::path item(path);
  std::string name(".");
  name.append(item.filename().string()).append(kDiscardedSuffix);
  const fs::path hidden = item.parent_path() / name;
  std::error_code error;
  fs::rename(item, hidden, error);
  if (error) {
    log("[FileManager] Failed to remove file '" + path + "' : " + error.message());
    return false;
  }
  fs::remove_all(hidden, error);
  return true;
}

bool VRDFileManager::removeContentsOfDirectoryAtPath(const std::string& path) const {
  bool all = true;
  for (const std::string& entry : contentsOfDirectory(path)) all = removeItemAtPath(entry) && all;
  return all;
}

bool VRDFileManager::moveItemAtPath(const std::string& path, const std::string& directory) const {
  if (path.empty() || directory.empty()) {
    log("[FileManager] Failed to move file, inputs invalid");
    return false;
  }
  const fs::path destination = fs::path(directory) / fs::path(path).filename();
  std::error_code error;
  // rename() would quietly replace an empty folder of the same name; never merge over another report.
  if (occupied(destination)) {
    error = std::make_error_code(std::errc::file_exists);
  } else {
    fs::rename(path, destination, error);
  }
  if (error) {
    log("[FileManager] Failed to move file: " + error.message());
    return false;
  }
  return true;
}

bool VRDFileManager::moveItemsFromDirectory(const std::string& from, const std::string& to) const {
  for (const std::string& entry : contentsOfDirectory(from)) {
    if (!moveItemAtPath(entry, to)) return false;
  }
  return true;
}

std::error_code VRDFileManager::enumerateFilesInDirectory(const std::string& directory, const FileBlock& block) const {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.empty() && name[0] != '.') entries.push_back(it->path());
  }
  if (error) {
    // Most often a shortage of descriptors: what the folder holds is there still, and waits for a later attempt.
    if (error != std::errc::no_such_file_or_directory)
      log("[FileManager] Unable to list '" + directory + "' now (" + error.message() + "): left for a later attempt");
    return error;
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    std::string extension = entry.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    block(entry.string(), extension);
  }
  return {};
}

std::vector<std::string> VRDFileManager::contentsOfDirectory(const std::string& directory) const {
  std::vector<std::string> paths;
  enumerateFilesInDirectory(directory, [&](const std::string& path, const std::string&) { paths.push_back(path); });
  return paths;
}

std::optional<std::uint64_t> VRDFileManager::fileSizeAtPath(const std::string& path) const {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  if (error) {
    log("[Client] Unable to read file size: " + error.message());
    return std::nullopt;
  }
  return size;
}

std::string VRDFileManager::pathNamespace() const { return ZIZApplicationGetBundleIdentifier().value_or(""); }
std::string VRDFileManager::structurePath() const { return join(rootPath_, "v3"); }
std::string VRDFileManager::activePath() const { return join(structurePath(), "active"); }
std::string VRDFileManager::pendingPath() const { return join(structurePath(), "pending"); }
std::string VRDFileManager::processingPath() const { return join(structurePath(), "processing"); }
std::string VRDFileManager::preparedPath() const { return join(structurePath(), "prepared"); }
std::string VRDFileManager::damagedPath() const { return join(structurePath(), "damaged"); }

FileClaims VRDFileManager::claims() const { return FileClaims(fs::path(structurePath()) / ".claims"); }

std::optional<std::string> VRDFileManager::setAsideItemAtPath(const std::string& path, const std::string& name) const {
  if (!createDirectoryAtPath(damagedPath())) return std::nullopt;
  // Name order is age order: a fixed-width time first, then this process's count within the millisecond.
  static std::atomic<std::uint32_t> sequence{0};
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "%016lld-%010u-", static_cast<long long>(now.count()),
                static_cast<unsigned>(sequence++));
  const std::string kept = join(damagedPath(), stamp + name);
  std::error_code error;
  fs::rename(path, kept, error);
  if (error) {
    log("[Vuveradarad:Crash] Unable to set aside '" + path + "': " + error.message());
    return std::nullopt;
  }
  std::vector<std::string> items = contentsOfDirectory(damagedPath());
  for (std::size_t i = 0; i + kMaxDamagedItems < items.size(); ++i) removeItemAtPath(items[i]);
  return kept;
}

bool VRDFileManager::prepareForNewLaunch() {
  removeLegacyDirectories();
  prepared_ = true;
  if (!createDirectoryAtPath(activePath()) || !createDirectoryAtPath(processingPath()) ||
      !createDirectoryAtPath(preparedPath())) {
    return false;
  }
  std::error_code error;
  for (fs::directory_iterator it(processingPath(), error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name[0] == '.' && name.ends_with(kDiscardedSuffix)) {
      std::error_code ignored;
      fs::remove_all(it->path(), ignored);
    }
  }
  return true;
}

std::optional<std::string> VRDFileManager::setupNewPathForExecutionIdentifier(const std::string& identifier) const {
  if (identifier.empty()) return std::nullopt;
  std::string path = join(activePath(), identifier);
  if (!createDirectoryAtPath(path)) return std::nullopt;
  return path;
}

void VRDFileManager::removeLegacyDirectories() {
  if (prepared_) return;
  std::error_code error;
  if (!fs::exists(fs::symlink_status(fs::path(rootPath_) / "sendable", error))) return;
  fs::remove_all(rootPath_, error);
  if (error) log("[Vuveradarad:FileManager] Unable to remove legacy directory structure " + error.message());
  log("[Vuveradarad:FileManager] Removed legacy structure at " + rootPath_);
}

void VRDFileManager::enumerateReportsInProcessingDirectory(const ReportBlock& block) const {
  enumerateFilesInDirectory(processingPath(), [&](const std::string& path, const std::string&) {
    block(VRDInternalReport::reportWithPath(path), path);
  });
}

bool VRDFileManager::removeContentsOfAllPaths() const {
  bool all = removeContentsOfProcessingPath();
  all = removeContentsOfPendingPath() && all;
  all = removeContentsOfDirectoryAtPath(preparedPath()) && all;
  all = removeContentsOfDirectoryAtPath(activePath()) && all;
  std::error_code absent;
  if (fs::exists(damagedPath(), absent)) all = removeContentsOfDirectoryAtPath(damagedPath()) && all;
  return all;
}

}  // namespace crashreporting
