#include "platform/apps/DesktopEntryIndex.h"

#include <algorithm>
#include <set>

#include "platform/apps/ApplicationIdentifier.h"
#include "platform/apps/DesktopEntryFile.h"

namespace tilvane::apps {
namespace {
constexpr std::size_t kMaxEntries = 10000;
}  // namespace

DesktopEntryIndex DesktopEntryIndex::scan(const std::vector<std::filesystem::path>& applicationFolders) {
  DesktopEntryIndex index;
  std::set<std::string> seen;
  for (const auto& folder : applicationFolders) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) continue;
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(
             folder, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator() && files.size() < kMaxEntries;
         it.increment(ec)) {
      if (it->path().extension() == ".desktop" && it->is_regular_file(ec)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      const std::string id = desktopEntryId(file, {folder});
      if (id.empty()) continue;
      if (!seen.insert(id).second) continue;  // an earlier folder's entry of the same id wins
      const auto read = readDesktopEntryFile(file);
      if (!read || read->type != "Application") continue;
      index.entries_.push_back(DesktopEntry{id, read->name, read->startupWmClass});
      if (index.entries_.size() >= kMaxEntries) return index;
    }
  }
  return index;
}

const DesktopEntry* DesktopEntryIndex::match(std::string_view className, std::string_view instance) const {
  for (const std::string_view name : {className, instance}) {
    if (name.empty()) continue;
    for (const DesktopEntry& e : entries_)
      if (!e.startupWmClass.empty() && e.startupWmClass == name) return &e;
  }
  for (const std::string_view name : {className, instance}) {
    if (name.empty()) continue;
    for (const DesktopEntry& e : entries_)
      if (equalIgnoringCase(e.id, name)) return &e;
  }
  return nullptr;
}

}  // namespace tilvane::apps
