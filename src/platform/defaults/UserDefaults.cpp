#include "platform/defaults/UserDefaults.h"

#include "platform/base/SharedInstance.h"
#include "platform/base/Utf8.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"
#include "platform/defaults/PlistCodec.h"
#include "platform/log/ErrorReport.h"

namespace tilvane::defaults {
namespace {
// Far above any real settings file; a larger one is not ours.
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

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
  if (read.status == FileRead::Status::failed) {
    log::reportError("UserDefaults: cannot read the settings, using defaults: " + read.error);
    return;
  }
  std::string error;
  auto dict = decodePlistDictionary(read.bytes, error);
  if (!dict) {
    log::reportError("UserDefaults: " + file_.string() + " is damaged (" + error + "), using defaults");
    return;
  }
  std::lock_guard lock(mutex_);
  values_ = std::move(*dict);
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

void UserDefaults::setObject(std::string_view key, Value value) {
  // The file could not hold it: refused here rather than written as a file no reader accepts.
  if (!isXmlText(key) || !fitsPlistXml(value)) {
    log::reportError("UserDefaults: a setting was not saved: its key or value holds characters a settings file "
                     "cannot hold (key \"" + printable(key) + "\")");
    return;
  }
  std::lock_guard io(ioMutex_);
  {
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::string(key), std::move(value));
    ++changeCount_;
  }
  writeIfChanged();
}

void UserDefaults::removeObjectForKey(std::string_view key) {
  std::lock_guard io(ioMutex_);
  {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(key);
    if (it == values_.end()) return;
    values_.erase(it);
    ++changeCount_;
  }
  writeIfChanged();
}

bool UserDefaults::synchronize() {
  std::lock_guard io(ioMutex_);
  return writeIfChanged();
}

bool UserDefaults::writeIfChanged() {
  std::string xml;
  std::uint64_t snapshot = 0;
  {
    std::lock_guard lock(mutex_);
    if (changeCount_ == writtenCount_) return true;
    snapshot = changeCount_;
    xml = encodePlistXml(values_);
  }
  std::string error;
  if (!writeFileAtomically(file_, xml, error)) {
    log::reportError("UserDefaults: cannot save the settings: " + error);
    return false;
  }
  std::lock_guard lock(mutex_);
  writtenCount_ = snapshot;
  return true;
}

}  // namespace tilvane::defaults
