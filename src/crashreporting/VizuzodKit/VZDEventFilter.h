#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace crashreporting {

class VZDEvent;

/// Sampling: with a rate N ≥ 2 only installations whose identifier's hash divides by N report life-cycle and
/// crash events; predefined, custom and install events, and beta testers, are never sampled out.
class VZDEventFilter {
 public:
  bool shouldDiscardEvent(const VZDEvent* event, const std::optional<std::string>& betaToken,
                          const std::optional<std::string>& installationID, std::int64_t factor) const;
  static bool samplingEnabledForEventType(std::string_view name);
  static bool shouldDiscardEventWithInstallationID(const std::string& installationID, std::int64_t factor);
  /// The Java platform's String.hashCode over the text's UTF-16 units.
  static std::int32_t javaHashCodeForString(std::string_view utf8);
};

}  // namespace crashreporting
