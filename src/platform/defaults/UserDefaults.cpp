#include "platform/defaults/UserDefaults.h"

#include <sys/stat.h>

#include "platform/base/DamagedCopy.h"
#include "platform/base/SharedInstance.h"
#include "platform/base/Utf8.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"
#include "platform/defaults/FileLock.h"
#include "platform/defaults/LinkTarget.h"
#include "platform/defaults/PlistCodec.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/log/ErrorReport.h"

namespace tilvane::defaults {
namespace {
// Far above any real settings file; a larger one is not ours.
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;
// Another program holds the lock for one read and write of a small file: far less than this.
constexpr double kLockWaitSeconds = 2.0;

// Which file stands at `file` now (links followed) and when it was written; empty when none does.
std::string stampOf(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {};
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
         std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
}

// Adds to `keys` every key whose value differs between `before` and `after` (present in one only included).
void addChangedKeys(const Dictionary& before, const Dictionary& after, std::set<std::string, std::less<>>& keys) {
  for (const auto& [key, value] : before) {
    const auto found = after.find(key);
    if (found == after.end() || !(found->second == value)) keys.insert(key);
  }
  for (const auto& [key, value] : after)
    if (!before.contains(key)) keys.insert(key);
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
  knownStamp_ = stampOf(file_);
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
  // The same damage found at an earlier start was kept and said then.
  problem.copy = keptDamagedCopy(file_);
  problem.keptBefore = !problem.copy.empty();
  if (problem.keptBefore) {
    copiedStamp_ = stamp;
    log::reportError("UserDefaults: " + file_.string() + " is still damaged (" + reason + "), using defaults: it " +
                     "was kept as " + problem.copy.string() + " before");
  } else if (copyAside(problem.copy, why)) {
    copiedStamp_ = stamp;
    noteDamagedCopy(file_, problem.copy);
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

void UserDefaults::setNotifier(std::function<void(const Notice&)> notifier) {
  std::lock_guard lock(mutex_);
  notifier_ = std::move(notifier);
}

bool UserDefaults::fileMayHaveChanged() const {
  const std::string stamp = stampOf(file_);
  std::lock_guard lock(mutex_);
  return stamp != knownStamp_ || !takenIn_.empty();
}

std::string UserDefaults::fileStamp() const { return stampOf(file_); }

std::vector<std::string> UserDefaults::reload() { return reloadFile(true).value_or(std::vector<std::string>{}); }

std::optional<std::vector<std::string>> UserDefaults::reloadIfWhole() { return reloadFile(false); }

std::optional<std::vector<std::string>> UserDefaults::reloadFile(bool takeDamage) {
  std::optional<Notice> notice;
  std::set<std::string, std::less<>> changed;
  {
    std::lock_guard io(ioMutex_);
    // Another program's save in progress is waited for, so its file is read whole. A folder that is not there is
    // not made for the lock: reading makes nothing.
    const FileLock lock(file_.string() + ".lock", kLockWaitSeconds);
    if (lock.timedOut()) return std::vector<std::string>{};
    const std::string stamp = stampOf(file_);
    const FileRead read = readFileBounded(file_, kMaxFileBytes);
    std::string reason = read.error;
    std::optional<Dictionary> fresh;
    if (read.status == FileRead::Status::absent)
      fresh.emplace();
    else if (read.status == FileRead::Status::ok)
      fresh = decodePlistDictionary(read.bytes, reason);
    if (!fresh && !takeDamage) return std::nullopt;
    if (!fresh) {
      std::filesystem::path copy;
      if (keepAside(reason, copy) == KeptAside::now) notice = Notice{Notice::Kind::damaged, {}, copy};
    }
    std::lock_guard values(mutex_);
    knownStamp_ = stamp;
    changed.swap(takenIn_);
    if (fresh) {
      addChangedKeys(values_, *fresh, changed);
      values_ = std::move(*fresh);
      // A key set anew by hand is said again if its new value is of the wrong type too.
      for (const std::string& key : changed)
        if (const auto typed = wrongTypes_.find(key); typed != wrongTypes_.end()) wrongTypes_.erase(typed);
    }
  }
  if (notice) notify(*notice);
  return std::vector<std::string>(changed.begin(), changed.end());
}

void UserDefaults::notify(const Notice& notice) const {
  std::function<void(const Notice&)> notifier;
  {
    std::lock_guard lock(mutex_);
    notifier = notifier_;
  }
  if (notifier) notifier(notice);
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

std::optional<std::int64_t> UserDefaults::storedInteger(std::string_view key) const {
  const auto v = objectForKey(key);
  if (!v) return std::nullopt;
  if (const auto* number = v->get<std::int64_t>()) return *number;
  if (const auto* flag = v->get<bool>()) return *flag ? 1 : 0;
  reportWrongType(key);
  return std::nullopt;
}

std::optional<bool> UserDefaults::storedBool(std::string_view key) const {
  const auto v = objectForKey(key);
  if (!v) return std::nullopt;
  if (const auto* flag = v->get<bool>()) return *flag;
  if (const auto* number = v->get<std::int64_t>()) return *number != 0;
  reportWrongType(key);
  return std::nullopt;
}

std::optional<Dictionary> UserDefaults::storedDictionary(std::string_view key) const {
  const auto v = objectForKey(key);
  if (!v) return std::nullopt;
  if (const auto* dictionary = v->get<Dictionary>()) return *dictionary;
  reportWrongType(key);
  return std::nullopt;
}

void UserDefaults::reportWrongType(std::string_view key) const {
  {
    std::lock_guard lock(mutex_);
    if (!wrongTypes_.emplace(key).second) return;
  }
  log::reportError("UserDefaults: the setting \"" + printable(key) + "\" in " + file_.string() +
                   " holds a value of the wrong type: it is left as it is and not acted on until it is set");
  notify(Notice{Notice::Kind::wrongType, std::string(key), {}});
}

bool UserDefaults::setObject(std::string_view key, Value value) {
  return save(key, [&value](const std::optional<Value>&) { return std::optional<Value>(value); });
}

bool UserDefaults::removeObjectForKey(std::string_view key) {
  return save(key, [](const std::optional<Value>&) { return std::optional<Value>(); });
}

bool UserDefaults::update(std::string_view key, const Change& change) { return save(key, change); }

bool UserDefaults::save(std::string_view key, const Change& change) {
  std::optional<Notice> notice;
  const bool saved = saveLocked(key, change, notice);
  if (saved && notice) notify(*notice);
  return saved;
}

bool UserDefaults::saveLocked(std::string_view key, const Change& change, std::optional<Notice>& notice) {
  std::lock_guard io(ioMutex_);
  // A save makes the folders it needs, for the lock and the file.
  const FileLock lock(file_.string() + ".lock", kLockWaitSeconds, FileLock::Folders::make);
  if (lock.timedOut()) {
    log::reportError("UserDefaults: cannot save the settings: " + lock.error());
    return false;
  }
  // What the file holds now, another program's changes included: only `key` is ours to change.
  Dictionary merged;
  const std::string stamp = stampOf(file_);
  const FileRead read = readFileBounded(file_, kMaxFileBytes);
  std::string reason = read.error;
  bool damaged = read.status == FileRead::Status::failed;
  if (read.status == FileRead::Status::ok) {
    if (auto dict = decodePlistDictionary(read.bytes, reason))
      merged = std::move(*dict);
    else
      damaged = true;
  }
  if (damaged) {
    std::filesystem::path copy;
    const KeptAside kept = keepAside(reason, copy);
    if (kept == KeptAside::failed) return false;
    // Damaged since it was read: what was known is written again rather than lost with it.
    std::lock_guard values(mutex_);
    merged = values_;
    if (kept == KeptAside::now) notice = Notice{Notice::Kind::damaged, {}, copy};
  } else {
    // What another program stored since the last reload is taken in here; the program still has to hear of it.
    std::lock_guard values(mutex_);
    std::set<std::string, std::less<>> changed;
    addChangedKeys(values_, merged, changed);
    changed.erase(std::string(key));
    takenIn_.merge(changed);
  }
  const auto found = merged.find(key);
  const std::optional<Value> now = found == merged.end() ? std::nullopt : std::optional<Value>(found->second);
  std::optional<Value> value = change(now);
  // The file could not hold it: refused here rather than written as a file no reader accepts.
  if (!isXmlText(key) || (value && !fitsPlistXml(*value))) {
    log::reportError("UserDefaults: a setting was not saved: its key or value holds characters a settings file "
                     "cannot hold (key \"" + printable(key) + "\")");
    return false;
  }
  std::string written = stamp;
  if (value != now || damaged) {
    if (value)
      merged.insert_or_assign(std::string(key), std::move(*value));
    else if (found != merged.end())
      merged.erase(found);
    std::string error;
    const auto target = linkTarget(file_, error);
    // A save killed between its write and its rename left its whole temporary copy; nobody else writes now.
    if (target) removeLeftTemporaries(*target);
    if (!target || !writeFileAtomically(*target, encodePlistXml(merged), error, FileMode::keepReplaced)) {
      log::reportError("UserDefaults: cannot save the settings: " + error);
      return false;
    }
    written = stampOf(file_);
    // Saved: the same damage found from now on is a new one.
    forgetDamagedCopies(file_);
  }
  {
    std::lock_guard values(mutex_);
    // The file as this save left it: not a change for the program to take in.
    knownStamp_ = written;
    values_ = std::move(merged);
    if (const auto typed = wrongTypes_.find(key); typed != wrongTypes_.end()) wrongTypes_.erase(typed);
  }
  return true;
}

UserDefaults::KeptAside UserDefaults::keepAside(const std::string& reason, std::filesystem::path& copy) {
  const std::string stamp = stampOf(file_);
  if (!stamp.empty() && stamp == copiedStamp_) return KeptAside::before;
  if (!keptDamagedCopy(file_).empty()) {
    copiedStamp_ = stamp;
    return KeptAside::before;
  }
  std::string why;
  if (!copyAside(copy, why)) {
    log::reportError("UserDefaults: cannot save the settings while " + file_.string() + " cannot be read (" + reason +
                     ") and could not be kept aside (" + why + "); it is left as it is");
    return KeptAside::failed;
  }
  copiedStamp_ = stamp;
  noteDamagedCopy(file_, copy);
  log::reportWarning("UserDefaults: " + file_.string() + " was damaged while running (" + reason + "): a copy was " +
                     "kept as " + copy.string() + "; the settings known before are kept");
  return KeptAside::now;
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
