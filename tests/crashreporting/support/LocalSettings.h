#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace crashreporting::test {

/// Downloaded settings as a test writes them, with the analytics events sent to a closed port of this machine:
/// the crash kit starts the analytics kit, which sends its events to the settings' URL (the vendor's by default)
/// once it has settings.
inline std::string withLocalAnalytics(const std::string& json) {
  auto settings = nlohmann::json::parse(json);
  settings["analytics"]["url"] = "http://127.0.0.1:9/events";
  return settings.dump();
}

}  // namespace crashreporting::test
