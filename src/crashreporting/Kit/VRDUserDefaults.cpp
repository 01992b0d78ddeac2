#include "crashreporting/Kit/VRDUserDefaults.h"

#include <system_error>

#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/MainBundle.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/PropertyList.h"
#include "crashreporting/platform/SystemLog.h"
#include "crashreporting/platform/SystemUserDefaults.h"
#include "platform/base/XdgPaths.h"
#include "platform/defaults/FileIo.h"

namespace crashreporting {
namespace {
namespace fs = std::filesystem;

constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;
constexpr const char* kLog = "[Zizozu:UserDefaults] ";

void log(const std::string& text) { SystemLog::write(kLog + text); }
}  // namespace

VRDUserDefaults::VRDUserDefaults()
    : serialDictionaryQueue_(std::string(kZIZReverseDNSPrefix) + ".user-defaults.access"),
      synchronizationQueue_(std::string(kZIZReverseDNSPrefix) + ".user-defaults.io") {
  serialDictionaryQueue_.sync([this] {
    directoryURL_ = generateDirectoryURL();
    fileURL_ = directoryURL_ / "VRDUserDefaults.plist";
    dataDictionary_ = loadDefaults().value_or(Dictionary{});
  });
}

VRDUserDefaults& VRDUserDefaults::standardUserDefaults() { return Shared<VRDUserDefaults>::get(); }

fs::path VRDUserDefaults::generateDirectoryURL() {
  return generateDirectoryURLForBaseURL(tilvane::xdg::dataHome(), getEscapedAppBundleIdentifier());
}

fs::path VRDUserDefaults::generateDirectoryURLForBaseURL(
    const fs::path& base, const std::optional<std::string>& hostAppBundleIdentifier) {
  fs::path directory = base;
  if (hostAppBundleIdentifier && !hostAppBundleIdentifier->empty()) directory /= *hostAppBundleIdentifier;
  return directory / kZIZDataFolderName;
}

std::optional<std::string> VRDUserDefaults::getEscapedAppBundleIdentifier() { return ZIZApplicationGetFolderName(); }

std::optional<Dictionary> VRDUserDefaults::loadDefaults() {
  return synchronizationQueue_.syncResult([this]() -> std::optional<Dictionary> {
    std::error_code ec;
    const auto status = fs::symlink_status(fileURL_, ec);
    if (status.type() == fs::file_type::directory) {
      log("found directory where file expected. Removing conflicting directory");
      fs::remove_all(fileURL_, ec);
      if (ec) log("error removing conflicting directory: {error = " + ec.message() + "}");
      return std::nullopt;
    }
    const FileContents read = readFileContents(fileURL_, kMaxFileBytes);
    if (read.status == FileContents::Status::absent) return std::nullopt;
    std::string error;
    auto dict = read.ok() ? plist::decodeDictionary(read.bytes, error) : std::nullopt;
    if (!dict) log("failed to read existing UserDefaults file");
    return dict;
  });
}

std::optional<Value> VRDUserDefaults::objectForKey(std::string_view key) const {
  return serialDictionaryQueue_.syncResult([&]() -> std::optional<Value> {
    const auto it = dataDictionary_.find(key);
    return it == dataDictionary_.end() ? std::nullopt : std::optional(it->second);
  });
}

std::optional<std::string> VRDUserDefaults::stringForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  const auto* text = value ? value->get<std::string>() : nullptr;
  return text ? std::optional(*text) : std::nullopt;
}

bool VRDUserDefaults::boolForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  return value && value->isNumber() && value->boolValue();
}

void VRDUserDefaults::setObject(const std::optional<Value>& value, std::string_view key) {
  serialDictionaryQueue_.sync([&] {
    if (!value || value->isNull()) {
      if (const auto it = dataDictionary_.find(key); it != dataDictionary_.end()) dataDictionary_.erase(it);
    } else {
      dataDictionary_.insert_or_assign(std::string(key), *value);
    }
  });
}

void VRDUserDefaults::setString(const std::string& value, std::string_view key) { setObject(Value(value), key); }

void VRDUserDefaults::setBool(bool value, std::string_view key) { setObject(Value(value), key); }

void VRDUserDefaults::removeObjectForKey(std::string_view key) { setObject(std::nullopt, key); }

void VRDUserDefaults::removeAllObjects() {
  serialDictionaryQueue_.sync([this] { dataDictionary_.clear(); });
}

Dictionary VRDUserDefaults::dictionaryRepresentation() const {
  return serialDictionaryQueue_.syncResult([this] { return dataDictionary_; });
}

bool VRDUserDefaults::synchronize() {
  const Dictionary snapshot = dictionaryRepresentation();
  return synchronizationQueue_.syncResult([&] {
    std::error_code ec;
    if (!fs::is_directory(directoryURL_, ec)) {
      fs::create_directories(directoryURL_, ec);
      if (ec) log("failed to create directory with error:" + ec.message());
    }
    std::string error;
    const auto xml = plist::encodeXml(snapshot, error);
    if (!xml || !tilvane::defaults::writeFileAtomically(fileURL_, *xml, error)) {
      log("Unable to open file for writing at path " + fileURL_.string());
      return false;
    }
    return true;
  });
}

std::optional<Value> VRDUserDefaults::objectForKeyByMigratingFromNSUserDefaults(std::string_view key) {
  if (key.empty()) return std::nullopt;
  if (auto value = objectForKey(key)) return value;
  SystemUserDefaults& system = SystemUserDefaults::standard();
  auto value = system.objectForKey(key);
  if (!value) return std::nullopt;
  setObject(value, key);
  // Removed from the older place only once it is safe in our file: a failed write must not lose it.
  if (synchronize()) {
    system.removeObjectForKey(key);
    system.synchronize();
  }
  return value;
}

void VRDUserDefaults::migrateFromNSUserDefaults(const std::vector<std::string>& keys) {
  SystemUserDefaults& system = SystemUserDefaults::standard();
  bool copied = false;
  for (const auto& key : keys) {
    if (auto value = system.objectForKey(key)) {
      setObject(value, key);
      copied = true;
    }
  }
  if (!copied || !synchronize()) return;
  for (const auto& key : keys) system.removeObjectForKey(key);
  system.synchronize();
}

}  // namespace crashreporting
