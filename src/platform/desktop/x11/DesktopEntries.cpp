#include "platform/desktop/x11/DesktopEntries.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/apps/DesktopEntryFile.h"

namespace tilvane::x11 {
namespace {
constexpr std::size_t kMaxEntries = 10000;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

DesktopEntryIndex DesktopEntryIndex::scan(const std::vector<std::filesystem::path>& applicationFolders) {
  DesktopEntryIndex index;
  std::set<std::string> seen;
  for (const auto& apps : applicationFolders) {
    std::error_code ec;
    if (!std::filesystem::is_directory(apps, ec)) continue;
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(
             apps, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator() && files.size() < kMaxEntries;
         it.increment(ec)) {
      if (it->path().extension() == ".desktop" && it->is_regular_file(ec)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      const std::string id = apps::desktopEntryId(file, {apps});
      if (id.empty()) continue;
      if (!seen.insert(id).second) continue;  // an earlier folder's entry of the same id wins
      const auto read = apps::readDesktopEntryFile(file);
      if (!read || read->type != "Application") continue;
      index.entries_.push_back(DesktopEntry{id, read->name, read->startupWmClass});
      if (index.entries_.size() >= kMaxEntries) return index;
    }
  }
  return index;
}

const DesktopEntry* DesktopEntryIndex::match(const WmClass& wmClass) const {
  for (const std::string* name : {&wmClass.className, &wmClass.instance}) {
    if (name->empty()) continue;
    for (const DesktopEntry& e : entries_)
      if (!e.startupWmClass.empty() && e.startupWmClass == *name) return &e;
  }
  for (const std::string* name : {&wmClass.className, &wmClass.instance}) {
    if (name->empty()) continue;
    for (const DesktopEntry& e : entries_)
      if (equalsIgnoringCase(e.id, *name)) return &e;
  }
  return nullptr;
}

}  // namespace tilvane::x11
