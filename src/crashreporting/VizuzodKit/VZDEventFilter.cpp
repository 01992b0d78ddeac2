#include "crashreporting/VizuzodKit/VZDEventFilter.h"

#include <array>
#include <algorithm>

#include "crashreporting/VizuzodKit/VZDEvent.h"

namespace crashreporting {

bool VZDEventFilter::samplingEnabledForEventType(std::string_view name) {
  static constexpr std::array<std::string_view, 8> kSampled{
      "app_launched",           "app_terminated",         "app_crashed",         "app_memory_warning",
      "app_entered_background", "app_entered_foreground", "app_became_inactive", "app_became_active"};
  return std::find(kSampled.begin(), kSampled.end(), name) != kSampled.end();
}

bool VZDEventFilter::shouldDiscardEvent(const VZDEvent* event, const std::optional<std::string>& betaToken,
                                        const std::optional<std::string>& installationID, std::int64_t factor) const {
  if (!event) return true;
  if (betaToken) return false;
  if (!samplingEnabledForEventType(event->name())) return false;
  if (!installationID || factor < 2) return false;
  return shouldDiscardEventWithInstallationID(*installationID, factor);
}

bool VZDEventFilter::shouldDiscardEventWithInstallationID(const std::string& installationID, std::int64_t factor) {
  const std::int64_t hash = javaHashCodeForString(installationID);
  return hash % factor != 0;
}

std::int32_t VZDEventFilter::javaHashCodeForString(std::string_view utf8) {
  std::uint32_t h = 0;
  const auto add = [&h](std::uint32_t unit) { h = 31 * h + unit; };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = c;
    std::size_t n = 1;
    if (c >= 0xF0 && c < 0xF8) { cp = c & 0x07; n = 4; }
    else if (c >= 0xE0 && c < 0xF0) { cp = c & 0x0F; n = 3; }
    else if (c >= 0xC0 && c < 0xE0) { cp = c & 0x1F; n = 2; }
    if (i + n > utf8.size()) n = 1, cp = c;
    for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      add(0xD800 + ((cp - 0x10000) >> 10));
      add(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      add(cp);
    }
    i += n;
  }
  return static_cast<std::int32_t>(h);
}

}  // namespace crashreporting
