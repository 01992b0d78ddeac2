#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// The host program's own user defaults: the older place where the library kept its values before it had a
/// file of its own. The library only reads keys there, and removes them once they are safe in its own file.
class SystemUserDefaults {
 public:
  virtual ~SystemUserDefaults() = default;
  virtual std::optional<Value> objectForKey(std::string_view key) = 0;
  virtual void removeObjectForKey(std::string_view key) = 0;
  /// Writes what changed; false when it could not.
  virtual bool synchronize() = 0;

  /// The host's defaults. By default a property-list file named by the main bundle's identifier
  /// ($XDG_CONFIG_HOME/<identifier>.plist, "/" made "_"); a host that keeps them elsewhere hands its own over.
  static SystemUserDefaults& standard();
  /// Replaces the standard defaults (none: back to the default file).
  static void setStandard(std::unique_ptr<SystemUserDefaults> defaults);
};

/// Defaults kept in one property-list file, read when made and written whole by synchronize(). Safe from any
/// thread.
class PlistFileUserDefaults : public SystemUserDefaults {
 public:
  explicit PlistFileUserDefaults(std::filesystem::path file);
  std::optional<Value> objectForKey(std::string_view key) override;
  void removeObjectForKey(std::string_view key) override;
  bool synchronize() override;
  void setObject(std::string_view key, Value value);
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
  std::mutex mutex_;
  Dictionary values_;
  bool changed_ = false;
};

}  // namespace crashreporting
