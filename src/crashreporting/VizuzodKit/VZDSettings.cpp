#include "crashreporting/VizuzodKit/VZDSettings.h"

#include "crashreporting/platform/TruthValue.h"

#include <cmath>
#include <cstdlib>

namespace crashreporting {
namespace {

/// A value read as a number the way the settings always were: numbers as they are, texts by their leading
/// number ("30" → 30, "x" → 0).
double numberOf(const Value& value) {
  if (const auto* i = value.get<std::int64_t>()) return static_cast<double>(*i);
  if (const auto* d = value.get<double>()) return *d;
  if (const auto* b = value.get<bool>()) return *b ? 1 : 0;
  if (const auto* s = value.get<std::string>()) return std::strtod(s->c_str(), nullptr);
  return 0;
}

}  // namespace

const Value* VZDSettings::entry(std::string_view section, std::string_view key) const {
  if (!dictionary_) return nullptr;
  const auto it = dictionary_->find(section);
  if (it == dictionary_->end()) return nullptr;
  const Value* value = it->second.member(key);
  return value && !value->isNull() ? value : nullptr;
}

bool VZDSettings::boolean(std::string_view section, std::string_view key, bool fallback) const {
  const Value* value = entry(section, key);
  if (!value) return fallback;
  return VRDBoolValue(*value);
}

std::int64_t VZDSettings::integer(std::string_view section, std::string_view key, std::int64_t fallback) const {
  const Value* value = entry(section, key);
  if (!value) return fallback;
  if (const auto* i = value->get<std::int64_t>()) return *i;
  const double d = numberOf(*value);
  return std::isfinite(d) && std::fabs(d) < 9.2e18 ? static_cast<std::int64_t>(d) : 0;
}

double VZDSettings::real(std::string_view section, std::string_view key, double fallback) const {
  const Value* value = entry(section, key);
  return value ? numberOf(*value) : fallback;
}

std::string VZDSettings::vizuzodURL() const {
  const Value* value = entry("analytics", "url");
  const auto* text = value ? value->get<std::string>() : nullptr;
  return text && !text->empty() ? *text : kVZDDefaultEventsURL;
}

bool VZDSettings::shouldCollectAnalytics() const { return boolean("features", "collect_analytics", true); }
bool VZDSettings::shouldCollectCustomEvents() const { return boolean("analytics", "track_custom_events", true); }
bool VZDSettings::shouldCollectPredefinedEvents() const {
  return boolean("analytics", "track_predefined_events", true);
}
bool VZDSettings::shouldForwardToRavumaAnalytics() const {
  return boolean("analytics", "forward_to_host_analytics", false);
}
bool VZDSettings::shouldIncludePurchaseEventsInForwardedRavumaEvents() const {
  return boolean("analytics", "include_purchase_events_in_forwarded_events", false);
}
std::int64_t VZDSettings::maximumPayloadSize() const { return integer("analytics", "max_byte_size_per_file", 8000); }
std::int64_t VZDSettings::maxPendingSendFiles() const {
  return integer("analytics", "max_pending_send_file_count", 100);
}
double VZDSettings::flushInterval() const { return real("analytics", "flush_interval_secs", 0.0); }
std::int64_t VZDSettings::samplingRate() const { return integer("analytics", "sampling_rate", 1); }
double VZDSettings::defaultUploadTimeout() const { return real("analytics", "upload_timeout_secs", 21600.0); }
double VZDSettings::lowPowerUploadTimeout() const {
  return real("analytics", "low_power_upload_timeout_secs", 3600.0);
}

}  // namespace crashreporting
