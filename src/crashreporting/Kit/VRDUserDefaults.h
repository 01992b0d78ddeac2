#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crashreporting/platform/SerialQueue.h"
#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// The kit framework's own small key-value store: one property-list file,
/// $XDG_DATA_HOME/<bundle identifier, "/" made "_">/com.zizozu/VRDUserDefaults.plist. Values live in memory; the
/// file is read when the store is made and written only by synchronize(). Safe from any thread, but not from a
/// task running on one of its own queues.
class VRDUserDefaults {
 public:
  VRDUserDefaults();
  VRDUserDefaults(const VRDUserDefaults&) = delete;
  VRDUserDefaults& operator=(const VRDUserDefaults&) = delete;

  /// The process-wide store, made on first use.
  static VRDUserDefaults& standardUserDefaults();

  std::optional<Value> objectForKey(std::string_view key) const;
  /// The value when it is a string.
  std::optional<std::string> stringForKey(std::string_view key) const;
  /// The value's truth when it is a number; false otherwise.
  bool boolForKey(std::string_view key) const;
  /// Stores `value`; none (or a null, which the file cannot hold) removes the key.
  void setObject(const std::optional<Value>& value, std::string_view key);
  void setString(const std::string& value, std::string_view key);
  void setBool(bool value, std::string_view key);
  void removeObjectForKey(std::string_view key);
  void removeAllObjects();
  Dictionary dictionaryRepresentation() const;

  /// Writes every value to the file; false (and a log line) when it could not.
  bool synchronize();

  /// Copies the keys that have a value in the host's own defaults (SystemUserDefaults) into this store,
  /// overwriting; once they are written to the file, removes every listed key there.
  void migrateFromNSUserDefaults(const std::vector<std::string>& keys);
  /// The value here; else the value in the host's own defaults, moved here (removed there only once it is
  /// written to this store's file); else none.
  std::optional<Value> objectForKeyByMigratingFromNSUserDefaults(std::string_view key);

  const std::filesystem::path& directoryURL() const { return directoryURL_; }
  const std::filesystem::path& fileURL() const { return fileURL_; }

  static std::filesystem::path generateDirectoryURL();
  static std::filesystem::path generateDirectoryURLForBaseURL(
      const std::filesystem::path& base, const std::optional<std::string>& hostAppBundleIdentifier);
  /// The main bundle's identifier with every "/" replaced by "_"; none without one.
  static std::optional<std::string> getEscapedAppBundleIdentifier();

 private:
  std::optional<Dictionary> loadDefaults();

  mutable SerialQueue serialDictionaryQueue_;
  SerialQueue synchronizationQueue_;
  std::filesystem::path directoryURL_;
  std::filesystem::path fileURL_;
  Dictionary dataDictionary_;  // on serialDictionaryQueue_ only
};

}  // namespace crashreporting
