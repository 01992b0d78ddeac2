#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// The file name of the saved settings.
inline constexpr const char* ZIZSettingsFileName = "settings.json";

/// The settings saved from the settings service: the reply's JSON object as it came. Read lazily and kept
/// until cleared; safe from any thread.
class ZIZSettings {
 public:
  explicit ZIZSettings(std::filesystem::path settingsPath) : settingsPath_(std::move(settingsPath)) {}

  /// The saved object. None when there is no readable file (a later call tries again); a file that is not a
  /// JSON object is logged, deleted, and gives none.
  std::optional<Dictionary> settingsDictionary();
  void clearSettingsDictionary();
  /// "app", unless absent, null or not an object.
  std::optional<Dictionary> appSettings();
  /// "app" → "status", unless absent, null or not a string.
  std::optional<std::string> appStatus();
  /// Whether the status is "new": the application must be created.
  bool appNeedsOnboarding();
  /// "app" → "update_required" as a Boolean; false when absent.
  bool appUpdateRequired();

  static std::optional<std::string> appBundleIdentifier();
  static std::string appPlatform();
  static std::optional<std::string> appBuildVersion();
  static std::optional<std::string> appDisplayVersion();
  static int appSource();
  /// <endpoint>/spi/v2/platforms/<platform>/apps/<bundle identifier>/settings with the query
  /// build_version, display_version, instance, icon_hash and source (absent values left out).
  static std::string settingsURLForEndpoint(std::string_view endpoint,
                                            const std::optional<std::string>& appInstanceIdentifer,
                                            const std::optional<std::string>& appIconHash);

  const std::filesystem::path& settingsPath() const { return settingsPath_; }

 private:
  const std::filesystem::path settingsPath_;
  std::mutex mutex_;
  std::optional<Dictionary> settingsDictionary_;
  bool unreadableLogged_ = false;
};

}  // namespace crashreporting
