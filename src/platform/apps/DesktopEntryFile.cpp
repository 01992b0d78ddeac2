#include "platform/apps/DesktopEntryFile.h"

#include <system_error>

#include "platform/base/Utf8.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"

namespace tilvane::apps {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxEntryBytes = 64 * 1024;
constexpr std::size_t kMaxScannedEntries = 10000;
constexpr int kMaxDepth = 4;
constexpr std::string_view kSuffix = ".desktop";

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

std::string unescape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default:
        out += '\\';
        out += value[i];
    }
  }
  return out;
}

bool isTrue(std::string_view value) { return value == "true"; }

}  // namespace

std::optional<DesktopEntryFile> parseDesktopEntryFile(std::string_view bytes) {
  const std::string valid = sanitizeUtf8(bytes);
  const std::string_view text = valid;
  DesktopEntryFile entry;
  bool found = false;
  bool inEntryGroup = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inEntryGroup = line == "[Desktop Entry]";
      found = found || inEntryGroup;
      continue;
    }
    if (!inEntryGroup) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = trim(line.substr(0, equals));
    const std::string_view value = trim(line.substr(equals + 1));
    // Localised keys ("Name[de]") are left to the user interface's language; the plain key is the one read.
    if (key == "Type")
      entry.type = unescape(value);
    else if (key == "Name")
      entry.name = unescape(value);
    else if (key == "Icon")
      entry.icon = unescape(value);
    else if (key == "Exec")
      entry.exec = unescape(value);
    else if (key == "StartupWMClass")
      entry.startupWmClass = unescape(value);
    else if (key == "MimeType")
      entry.mimeTypes = unescape(value);
    else if (key == "NoDisplay")
      entry.noDisplay = isTrue(value);
    else if (key == "Hidden")
      entry.hidden = isTrue(value);
  }
  if (!found) return std::nullopt;
  return entry;
}

std::optional<DesktopEntryFile> readDesktopEntryFile(const fs::path& file) {
  const defaults::FileRead read = defaults::readFileBounded(file, kMaxEntryBytes);
  if (read.status != defaults::FileRead::Status::ok) return std::nullopt;
  return parseDesktopEntryFile(read.bytes);
}

bool isDesktopEntryPath(const std::string& path) {
  return path.size() > kSuffix.size() && path.compare(path.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

namespace {

/// `file` relative to the first of `applicationFolders` that holds it; absent when none does.
std::optional<fs::path> pathInApplicationFolders(const fs::path& file, const std::vector<fs::path>& folders) {
  const fs::path normal = file.lexically_normal();
  for (const fs::path& folder : folders) {
    fs::path relative = normal.lexically_relative(folder.lexically_normal());
    if (!relative.empty() && *relative.begin() != "..") return relative;
  }
  return std::nullopt;
}

}  // namespace

bool isInApplicationFolders(const fs::path& file, const std::vector<fs::path>& applicationFolders) {
  return pathInApplicationFolders(file, applicationFolders).has_value();
}

std::string desktopEntryId(const fs::path& file, const std::vector<fs::path>& applicationFolders) {
  std::string id;
  if (const auto relative = pathInApplicationFolders(file, applicationFolders)) {
    id = relative->generic_string();
    for (char& c : id)
      if (c == '/') c = '-';
  } else {
    id = file.lexically_normal().filename().string();
  }
  if (isDesktopEntryPath(id)) id.resize(id.size() - kSuffix.size());
  return id;
}

std::optional<fs::path> findDesktopEntry(const std::string& id, const std::vector<fs::path>& applicationFolders) {
  if (id.empty() || id.find('/') != std::string::npos || id == "." || id == "..") return std::nullopt;
  for (const fs::path& folder : applicationFolders) {
    std::error_code error;
    const fs::path direct = folder / (id + std::string(kSuffix));
    if (fs::is_regular_file(direct, error)) return direct;
    // Entries in sub-folders carry the folder in their id ("kde/konsole.desktop" is "kde-konsole").
    if (id.find('-') == std::string::npos) continue;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error) continue;
    std::size_t seen = 0;
    for (const fs::recursive_directory_iterator end; it != end && seen < kMaxScannedEntries; it.increment(error)) {
      if (error) break;
      if (it.depth() >= kMaxDepth) it.disable_recursion_pending();
      ++seen;
      if (it.depth() == 0 || !isDesktopEntryPath(it->path().string())) continue;
      if (desktopEntryId(it->path(), {folder}) == id && it->is_regular_file(error)) return it->path();
    }
  }
  return std::nullopt;
}

std::vector<fs::path> xdgApplicationFolders() {
  std::vector<fs::path> folders{xdg::dataHome() / "applications"};
  for (const fs::path& dir : xdg::dataDirs()) folders.push_back(dir / "applications");
  return folders;
}

std::optional<std::vector<std::string>> splitExec(std::string_view exec, const std::vector<std::string>& arguments) {
  std::vector<std::string> words;
  bool argumentsPlaced = false;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size() && std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
        word += exec[++i];
      } else {
        word += c;
      }
      continue;
    }
    if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '"') {
      quoted = true;
    } else if (c == '%' && i + 1 < exec.size()) {
      const char code = exec[++i];
      const bool standsAlone = word.empty() && (i + 1 == exec.size() || exec[i + 1] == ' ' || exec[i + 1] == '\t');
      if (code == '%') {
        word += '%';
      } else if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
        // A code standing alone is replaced by the arguments, each its own word.
        if (standsAlone)
          words.insert(words.end(), arguments.begin(), arguments.end());
        else if (!arguments.empty())
          word += arguments.front();  // inside a word ("--file=%f") only one argument fits
        argumentsPlaced = true;
        if (standsAlone) inWord = false;
      } else if (standsAlone) {
        inWord = false;  // other codes (%i %c %k, the deprecated ones) are dropped, leaving no word
      }
    } else {
      word += c;
    }
  }
  if (quoted) return std::nullopt;
  if (inWord) words.push_back(std::move(word));
  if (!argumentsPlaced) words.insert(words.end(), arguments.begin(), arguments.end());
  if (words.empty() || words.front().empty()) return std::nullopt;
  return words;
}

}  // namespace tilvane::apps
