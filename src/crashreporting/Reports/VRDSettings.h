#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "crashreporting/platform/TruthValue.h"
#include "crashreporting/platform/Value.h"

// The crash kit's read-only view of its configuration: the downloaded settings (with a fixed default for every
// value, so an application without them still reports crashes) and the local keys that the environment, the
// host's "Vuveradarad" information entry or the built-in defaults supply, in that order. Immutable; any thread.

namespace crashreporting {

/// A number, or a text's leading decimal number, as an unsigned 32-bit value (wrapping as the platform does).
std::uint32_t VRDUnsignedIntValue(const Value& value);

class VRDSettings {
 public:
  explicit VRDSettings(Dictionary settingsDictionary = {}) : settingsDictionary_(std::move(settingsDictionary)) {}

  const Dictionary& settingsDictionary() const { return settingsDictionary_; }

  bool crashReportingEnabled() const;
  bool errorReportingEnabled() const;
  bool customExceptionsEnabled() const { return errorReportingEnabled(); }
  bool userPromptEnabled() const;
  std::uint32_t logBufferSize() const;
  std::uint32_t errorLogBufferSize() const { return logBufferSize(); }
  std::uint32_t maxCustomExceptions() const;
  std::uint32_t maxCustomKeys() const;
  double betaSuspendDuration() const;

  /// The host's "Vuveradarad" information entry, when it is a dictionary.
  static std::optional<Dictionary> configuration();
  static const Dictionary& defaultConfiguration();
  /// "Vuveradarad<key>" in the environment (logged as an override), else the configuration, else the default.
  static std::optional<Value> valueForConfigurationKey(std::string_view key);

  std::string reportsEndpoint() const;
  std::string betaEndpoint() const;
  bool shouldPackageReports() const;
  bool shouldSubmitReports() const;
  bool canProcessUrgentReports() const;

  std::string interactivePromptTitle() const;
  std::string interactivePromptMessage() const;
  std::string interactivePromptCancelTitle() const;
  std::string interactivePromptSendTitle() const;
  std::string interactivePromptAlwaysSendTitle() const;
  /// The host's localisation of `localizedKey` in the "Vuveradarad" strings table, falling back to the
  /// downloaded "prompt" entry, then to `defaultValue`.
  std::string promptValueForSettingsKey(std::string_view settingsKey, std::string_view localizedKey,
                                        std::string_view defaultValue) const;

 private:
  const Value* value(std::string_view section, std::string_view key) const;
  bool boolSetting(std::string_view section, std::string_view key, bool fallback) const;
  std::uint32_t unsignedSetting(std::string_view section, std::string_view key, std::uint32_t fallback) const;

  Dictionary settingsDictionary_;
};

/// The host's localised text for `key` in the strings table `table` (`<table>.strings`, a property list in the
/// host's bundle folder), else `fallback`.
std::string VRDLocalizedString(std::string_view key, std::string_view table, std::string_view fallback);

}  // namespace crashreporting
