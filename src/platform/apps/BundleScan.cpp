#include "platform/apps/BundleScan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>

namespace tilvane::apps {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxEntries = 10000;

/// The entry names of `folder` in name order; absent when it cannot be listed.
std::optional<std::vector<std::string>> listFolder(const fs::path& folder) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return std::nullopt;
  std::vector<std::string> names;
  for (const fs::directory_iterator end; it != end && names.size() < kMaxEntries; it.increment(error)) {
    if (error) break;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool isDirectory(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

}  // namespace

bool hasAppExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".app";
}

std::vector<std::string> scanApplicationsFolder(const std::string& folder) {
  std::vector<std::string> found;
  const auto entries = listFolder(folder);
  if (!entries) return found;
  for (const std::string& entry : *entries) {
    const fs::path full = fs::path(folder) / entry;
    // A bundle, a plain file, or something that vanished: the name itself is the candidate.
    if (!isDirectory(full) || hasAppExtension(entry)) {
      if (hasAppExtension(entry)) found.push_back(entry);
      continue;
    }
    const auto inner = listFolder(full);
    if (!inner) {
      if (hasAppExtension(entry)) found.push_back(entry);
      continue;
    }
    for (const std::string& name : *inner)
      if (hasAppExtension(name)) found.push_back(entry + "/" + name);
  }
  return found;
}

}  // namespace tilvane::apps
