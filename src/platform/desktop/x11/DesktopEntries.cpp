#include "platform/desktop/x11/DesktopEntries.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/desktop/x11/Utf8.h"

namespace tilvane::x11 {
namespace {
constexpr std::size_t kMaxFileBytes = 64 * 1024;
constexpr std::size_t kMaxEntries = 10000;

std::string trim(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  const auto end = s.find_last_not_of(" \t\r");
  return std::string(s.substr(begin, end - begin + 1));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string readBounded(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(kMaxFileBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
  return text;
}

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}
}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(const std::string& text) {
  std::istringstream in(sanitizeUtf8(text));
  std::string line;
  bool inGroup = false, sawGroup = false;
  std::string type;
  DesktopEntry entry;
  while (std::getline(in, line)) {
    const std::string t = trim(line);
    if (t.empty() || t[0] == '#') continue;
    if (t[0] == '[') {
      inGroup = t == "[Desktop Entry]";
      sawGroup = sawGroup || inGroup;
      continue;
    }
    if (!inGroup) continue;
    const auto eq = t.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = trim(std::string_view(t).substr(0, eq));
    const std::string value = trim(std::string_view(t).substr(eq + 1));
    if (key == "Name") entry.name = value;
    if (key == "StartupWMClass") entry.startupWmClass = value;
    if (key == "Type") type = value;
  }
  if (!sawGroup || type != "Application") return std::nullopt;
  return entry;
}

std::vector<std::filesystem::path> DesktopEntryIndex::xdgDataDirs() {
  const char* home = std::getenv("HOME");
  std::vector<std::filesystem::path> dirs{
      envOr("XDG_DATA_HOME", std::string(home ? home : "") + "/.local/share")};
  std::istringstream rest(envOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"));
  std::string dir;
  while (std::getline(rest, dir, ':'))
    if (!dir.empty()) dirs.emplace_back(dir);
  return dirs;
}

DesktopEntryIndex DesktopEntryIndex::scan(const std::vector<std::filesystem::path>& dataDirs) {
  DesktopEntryIndex index;
  std::set<std::string> seen;
  for (const auto& dataDir : dataDirs) {
    const std::filesystem::path apps = dataDir / "applications";
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
      std::string id = std::filesystem::relative(file, apps, ec).replace_extension().generic_string();
      if (ec || id.empty()) continue;
      std::replace(id.begin(), id.end(), '/', '-');
      if (!seen.insert(id).second) continue;  // an earlier folder's entry of the same id wins
      auto entry = parseDesktopEntry(readBounded(file));
      if (!entry) continue;
      entry->id = id;
      index.entries_.push_back(std::move(*entry));
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
