#include "platform/defaults/UserDefaults.h"

#include <sys/stat.h>

#include "platform/base/DamagedCopy.h"
#include "platform/base/SharedInstance.h"
#include "platform/base/Utf8.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"
#include "platform/defaults/FileLock.h"
#include "platform/defaults/PlistCodec.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/log/ErrorReport.h"

namespace tilvane::defaults {
namespace {
// Far above any real settings file; a larger one is not ours.
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;
// Another program holds the lock for one read and write of a small file: far less than this.
constexpr double kLockWaitSeconds = 2.0;

// Which file stands at `file` now; empty when none does.
std::string stampOf(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {};
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

// A key as a log line can show it: control characters as \xNN, at most 80 bytes.
std::string printable(std::string_view key) {
  std::string out;
  for (const char c : sanitizeUtf8(key.substr(0, 80))) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      out += c;
      continue;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
  }
  return out;
}
}  // namespace

UserDefaults::UserDefaults() : UserDefaults(defaultFilePath()) {}

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) { load(); }

UserDefaults& UserDefaults::standard() { return SharedInstance<UserDefaults>::get(); }

std::filesystem::path UserDefaults::defaultFilePath() { return xdg::configHome() / "Tilvane" / "defaults.plist"; }

void UserDefaults::load() {
  const FileRead read = readFileBounded(file_, kMaxFileBytes);
  if (read.status == FileRead::Status::absent) return;
  std::string reason = read.error;
  if (read.status == FileRead::Status::ok) {
    auto dict = decodePlistDictionary(read.bytes, reason);
    if (dict) {
      std::lock_guard lock(mutex_);
      values_ = std::move(*dict);
      return;
    }
  }
  LoadProblem problem{reason, {}};
  std::string why;
  const std::string stamp = stampOf(file_);
  if (copyAside(problem.copy, why)) {
    copiedStamp_ = stamp;
    log::reportError("UserDefaults: " + file_.string() + " is damaged (" + reason + "), using defaults: a copy was " +
                     "kept as " + problem.copy.string() + "; every setting is at its default until it is set again");
  } else if (read.status == FileRead::Status::failed) {
    log::reportError("UserDefaults: cannot read the settings, using defaults: " + reason + ". The file is left as " +
                     "it is, and no setting is saved until it can be read");
  } else {
    log::reportError("UserDefaults: " + file_.string() + " is damaged (" + reason + "), using defaults: it could " +
                     "not be kept aside (" + why + "), so it is left as it is and no setting is saved");
  }
  loadProblem_ = std::move(problem);
}

bool UserDefaults::isUnknown(std::string_view key) const {
  if (!loadProblem_) return false;
  std::lock_guard lock(mutex_);
  return values_.find(key) == values_.end();
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
  const auto v = objectForKey(key);
  return v ? v->integerValue() : 0;
}

bool UserDefaults::boolForKey(std::string_view key) const {
  const auto v = objectForKey(key);
  return v && v->boolValue();
}

double UserDefaults::doubleForKey(std::string_view key) const {
  const auto v = objectForKey(key);
  return v ? v->doubleValue() : 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
  const auto v = objectForKey(key);
  return v ? v->stringValue() : std::nullopt;
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
  const auto v = objectForKey(key);
  if (!v || !v->get<Data>()) return std::nullopt;
  return *v->get<Data>();
}

std::optional<Array> UserDefaults::arrayForKey(std::string_view key) const {
  const auto v = objectForKey(key);
  if (!v || !v->get<Array>()) return std::nullopt;
  return *v->get<Array>();
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
  const auto v = objectForKey(key);
  if (!v || !v->get<Dictionary>()) return std::nullopt;
  return *v->get<Dictionary>();
}

bool UserDefaults::setObject(std::string_view key, Value value) {
  // The file could not hold it: refused here rather than written as a file no reader accepts.
  if (!isXmlText(key) || !fitsPlistXml(value)) {
    log::reportError("UserDefaults: a setting was not saved: its key or value holds characters a settings file "
                     "cannot hold (key \"" + printable(key) + "\")");
    return false;
  }
  return save(key, std::move(value));
}

bool UserDefaults::removeObjectForKey(std::string_view key) { return save(key, std::nullopt); }

bool UserDefaults::save(std::string_view key, std::optional<Value> value) {
  std::lock_guard io(ioMutex_);
  const FileLock lock(file_.string() + ".lock", kLockWaitSeconds);
  if (lock.timedOut()) {
    log::reportError("UserDefaults: cannot save the settings: " + lock.error());
    return false;
  }
  // What the file holds now, another program's changes included: only `key` is ours to change.
  Dictionary merged;
  const FileRead read = readFileBounded(file_, kMaxFileBytes);
  std::string reason = read.error;
  if (read.status == FileRead::Status::ok) {
    if (auto dict = decodePlistDictionary(read.bytes, reason))
      merged = std::move(*dict);
    else if (!keepAside(reason))
      return false;
  } else if (read.status == FileRead::Status::failed && !keepAside(reason)) {
    return false;
  }
  const auto found = merged.find(key);
  const bool same = value ? found != merged.end() && found->second == *value : found == merged.end();
  if (!same) {
    if (value)
      merged.insert_or_assign(std::string(key), std::move(*value));
    else
      merged.erase(found);
    std::string error;
    if (!writeFileAtomically(file_, encodePlistXml(merged), error)) {
      log::reportError("UserDefaults: cannot save the settings: " + error);
      return false;
    }
  }
  std::lock_guard values(mutex_);
  values_ = std::move(merged);
  return true;
}

bool UserDefaults::keepAside(const std::string& reason) {
  const std::string stamp = stampOf(file_);
  if (!stamp.empty() && stamp == copiedStamp_) return true;
  std::filesystem::path copy;
  std::string why;
  if (!copyAside(copy, why)) {
    log::reportError("UserDefaults: cannot save the settings: " + file_.string() + " cannot be read (" + reason +
                     ") and could not be kept aside (" + why + "), so it is left as it is");
    return false;
  }
  copiedStamp_ = stamp;
  log::reportWarning("UserDefaults: " + file_.string() + " was damaged (" + reason + "): a copy was kept as " +
                     copy.string() + " before the settings were saved afresh");
  return true;
}

bool UserDefaults::copyAside(std::filesystem::path& copy, std::string& error) {
  const auto now = static_cast<std::time_t>(dispatch::MainQueue::clock().now());
  const std::filesystem::path base = damagedCopyName(file_, now);
  // A copy made in the same second (another program found the same damage) is not overwritten.
  for (int n = 1; n <= 20; ++n) {
    copy = n == 1 ? base : std::filesystem::path(base.string() + "-" + std::to_string(n));
    std::error_code ec;
    if (std::filesystem::exists(copy, ec)) continue;
    if (copyFileExclusively(file_, copy, error)) return true;
    if (std::filesystem::exists(copy, ec)) continue;
    copy.clear();
    return false;
  }
  copy.clear();
  error = "too many copies named " + base.string();
  return false;
}

}  // namespace tilvane::defaults
