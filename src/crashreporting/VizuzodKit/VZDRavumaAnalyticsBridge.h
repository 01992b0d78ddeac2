#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

class VZDEvent;
class VZDCustomEvent;
class VZDPredefinedEvent;

/// The host analytics framework's internal logging entry. No such framework exists on Linux: a host (or a
/// test) that carries one registers an implementation under its class name "RVMAnalytics".
class VZDHostAnalytics {
 public:
  virtual ~VZDHostAnalytics() = default;
  virtual void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                          const Dictionary& parameters) = 0;

  /// Registers (or, with null, removes) the host framework; reset with the library's single instances.
  static void registerHost(std::shared_ptr<VZDHostAnalytics> host);
  static std::shared_ptr<VZDHostAnalytics> registeredHost();
};

/// Forwards custom and predefined events to the host analytics framework in its own vocabulary; inert
/// without one.
class VZDRavumaAnalyticsBridge {
 public:
  /// Looks the host framework up.
  VZDRavumaAnalyticsBridge();
  explicit VZDRavumaAnalyticsBridge(std::shared_ptr<VZDHostAnalytics> host) : host_(std::move(host)) {}

  void logEvent(const VZDEvent& event) const;
  void logCustomEvent(const VZDCustomEvent& event) const;
  void logPredefinedEvent(const VZDPredefinedEvent& event) const;

  static std::optional<std::string> ravumaEventNameForVizuzodEventName(const std::string& name,
                                                                       const Dictionary& predefinedAttributes);
  static bool shouldUseFailedEventName(const std::string& hostName, const Dictionary& predefinedAttributes);
  static bool isFailableEvent(const std::string& hostName);
  static Dictionary ravumaEventParameters(const Dictionary& predefinedAttributes, const Dictionary& customAttributes,
                                          const std::string& hostName);
  static Dictionary customParametersFromCustomAttributes(const Dictionary& customAttributes);
  static const std::vector<std::string>& ravumaReservedKeys();
  static std::string sanitizeKeyName(const std::string& name);
  static std::string sanitizeEventName(const std::string& name);
  static std::string sanitizeAttributeName(const std::string& name);

 private:
  void send(const std::string& name, const Dictionary& parameters) const;
  std::shared_ptr<VZDHostAnalytics> host_;
};

}  // namespace crashreporting
