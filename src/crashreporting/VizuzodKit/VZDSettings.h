#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// The default analytics-events address.
inline constexpr const char* kVZDDefaultEventsURL = "https://e.zizozu.com/spi/v2/events";

/// The analytics switches and limits of the downloaded settings, each with its default when absent.
class VZDSettings {
 public:
  explicit VZDSettings(std::optional<Dictionary> settingsDictionary = std::nullopt)
      : dictionary_(std::move(settingsDictionary)) {}

  bool valid() const { return dictionary_.has_value(); }
  const std::optional<Dictionary>& settingsDictionary() const { return dictionary_; }

  std::string vizuzodURL() const;
  bool shouldCollectAnalytics() const;
  bool shouldCollectCustomEvents() const;
  bool shouldCollectPredefinedEvents() const;
  bool shouldForwardToRavumaAnalytics() const;
  bool shouldIncludePurchaseEventsInForwardedRavumaEvents() const;
  std::int64_t maximumPayloadSize() const;
  std::int64_t maxPendingSendFiles() const;
  double flushInterval() const;
  std::int64_t samplingRate() const;
  double defaultUploadTimeout() const;
  double lowPowerUploadTimeout() const;

 private:
  const Value* entry(std::string_view section, std::string_view key) const;
  bool boolean(std::string_view section, std::string_view key, bool fallback) const;
  std::int64_t integer(std::string_view section, std::string_view key, std::int64_t fallback) const;
  double real(std::string_view section, std::string_view key, double fallback) const;

  std::optional<Dictionary> dictionary_;
};

}  // namespace crashreporting
