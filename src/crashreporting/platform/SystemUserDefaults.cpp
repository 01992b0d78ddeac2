#include "crashreporting/platform/SystemUserDefaults.h"

#include <mutex>
#include <utility>

#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/PropertyList.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"

namespace crashreporting {
namespace {
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

std::mutex& standardMutex() {
  static std::mutex m;
  return m;
}
std::unique_ptr<SystemUserDefaults>& standardSlot() {
  static std::unique_ptr<SystemUserDefaults> slot;
  return slot;
}

std::filesystem::path defaultFile() {
  std::string name = "defaults";
  if (const auto bundle = MainBundle::get()) {
    if (auto id = bundle->bundleIdentifier(); id && !id->empty()) {
      for (char& c : *id) c = c == '/' ? '_' : c;
      name = *id;
    }
  }
  return tilvane::xdg::configHome() / (name + ".plist");
}
}  // namespace

SystemUserDefaults& SystemUserDefaults::standard() {
  const std::lock_guard lock(standardMutex());
  auto& slot = standardSlot();
  if (!slot) slot = std::make_unique<PlistFileUserDefaults>(defaultFile());
  return *slot;
}

void SystemUserDefaults::setStandard(std::unique_ptr<SystemUserDefaults> defaults) {
  std::unique_ptr<SystemUserDefaults> old;
  const std::lock_guard lock(standardMutex());
  old = std::exchange(standardSlot(), std::move(defaults));
}

PlistFileUserDefaults::PlistFileUserDefaults(std::filesystem::path file) : file_(std::move(file)) {
  const FileContents read = readFileContents(file_, kMaxFileBytes);
  if (!read.ok()) return;
  std::string error;
  if (auto dict = plist::decodeDictionary(read.bytes, error)) values_ = std::move(*dict);
}

std::optional<Value> PlistFileUserDefaults::objectForKey(std::string_view key) {
  const std::lock_guard lock(mutex_);
  const auto it = values_.find(key);
  return it == values_.end() ? std::nullopt : std::optional(it->second);
}

void PlistFileUserDefaults::removeObjectForKey(std::string_view key) {
  const std::lock_guard lock(mutex_);
  if (const auto it = values_.find(key); it != values_.end()) {
    values_.erase(it);
    changed_ = true;
  }
}

void PlistFileUserDefaults::setObject(std::string_view key, Value value) {
  const std::lock_guard lock(mutex_);
  values_.insert_or_assign(std::string(key), std::move(value));
  changed_ = true;
}

bool PlistFileUserDefaults::synchronize() {
  const std::lock_guard lock(mutex_);
  if (!changed_) return true;
  std::string error;
  const auto xml = plist::encodeXml(values_, error);
  if (!xml || !tilvane::defaults::writeFileAtomically(file_, *xml, error)) return false;
  changed_ = false;
  return true;
}

}  // namespace crashreporting
