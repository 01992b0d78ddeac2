#include "crashreporting/VizuzodKit/VZDRavumaAnalyticsBridge.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "crashreporting/VizuzodKit/VZDEvent.h"
#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/VizuzodKit/VZDText.h"
#include "crashreporting/platform/Immortal.h"
#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {
namespace {

constexpr const char* kOrigin = "ziz";
constexpr const char* kPrefix = "zizozu_";
constexpr std::size_t kMaxNameLength = 40;

struct HostSlot {
  std::mutex mutex;
  std::shared_ptr<VZDHostAnalytics> host;
};

using Mapping = std::vector<std::pair<const char*, const char*>>;

const std::map<std::string, Mapping, std::less<>>& parameterTable() {
  // Read on the analytics queue, which may still run while the process exits.
  static const Immortal<std::map<std::string, Mapping, std::less<>>> table([] {
    return std::map<std::string, Mapping, std::less<>>{
        {"select_content",
         {{"content_type", "content_type"}, {"content_id", "item_id"}, {"content_name", "item_name"}}},
        {"share",
         {{"content_type", "content_type"},
          {"content_id", "item_id"},
          {"content_name", "item_name"},
          {"method", "method"}}},
        {"sign_up", {{"method", "method"}, {"success", "success"}}},
        {"login", {{"method", "method"}, {"success", "success"}}},
        {"search", {{"query", "search_term"}}},
        {"ecommerce_purchase",
         {{"currency", "currency"},
          {"item_price", "value"},
          {"success", "success"},
          {"item_type", "item_category"},
          {"item_id", "item_id"},
          {"item_name", "item_name"}}},
        {"add_to_cart",
         {{"item_type", "item_category"},
          {"item_id", "item_id"},
          {"item_name", "item_name"},
          {"item_price", "price"},
          {"currency", "currency"}}},
        {"begin_checkout", {{"currency", "currency"}, {"total_price", "value"}, {"item_count", "quantity"}}},
        {"rate_content",
         {{"rating", "rating"},
          {"content_type", "content_type"},
          {"content_id", "item_id"},
          {"content_name", "item_name"}}},
        {"level_start", {{"level_name", "level_name"}}},
        {"level_end", {{"level_name", "level_name"}, {"score", "score"}, {"success", "success"}}},
        {"invite", {{"method", "method"}}},
    };
  });
  return table.get();
}

double asDouble(const Value& v) {
  if (const auto* i = v.get<std::int64_t>()) return static_cast<double>(*i);
  if (const auto* d = v.get<double>()) return *d;
  return 0;
}

Value convert(const std::string& attribute, const Value& value) {
  if (attribute == "item_price" || attribute == "total_price") return Value(asDouble(value) / 1000000.0);
  if (attribute == "success") {
    // Read in place: a Value made only to compare with holds every alternative's destructor, and g++ 12 takes
    // the byte vector's among them for a free of stack memory.
    const std::string* text = value.get<std::string>();
    return Value(text && *text == "true" ? 1 : 0);
  }
  return value;
}

}  // namespace

void VZDHostAnalytics::registerHost(std::shared_ptr<VZDHostAnalytics> host) {
  HostSlot& slot = Shared<HostSlot>::get();
  const std::lock_guard lock(slot.mutex);
  slot.host = std::move(host);
}

std::shared_ptr<VZDHostAnalytics> VZDHostAnalytics::registeredHost() {
  HostSlot& slot = Shared<HostSlot>::get();
  const std::lock_guard lock(slot.mutex);
  return slot.host;
}

VZDRavumaAnalyticsBridge::VZDRavumaAnalyticsBridge() : host_(VZDHostAnalytics::registeredHost()) {}

void VZDRavumaAnalyticsBridge::logEvent(const VZDEvent& event) const {
  if (!host_) return;
  if (const auto* custom = dynamic_cast<const VZDCustomEvent*>(&event)) {
    logCustomEvent(*custom);
  } else if (const auto* predefined = dynamic_cast<const VZDPredefinedEvent*>(&event)) {
    logPredefinedEvent(*predefined);
  }
}

void VZDRavumaAnalyticsBridge::logCustomEvent(const VZDCustomEvent& event) const {
  const std::string name = sanitizeEventName(event.customEventName());
  const Dictionary parameters = customParametersFromCustomAttributes(event.attributesDictionary());
  VZDLogger::sharedLogger().log("Logging custom event to Ravuma. <" + name + "\n" +
                                Value(parameters).description() + ">");
  send(name, parameters);
}

void VZDRavumaAnalyticsBridge::logPredefinedEvent(const VZDPredefinedEvent& event) const {
  const Dictionary& predefined = event.predefinedAttributes().dictionaryRepresentation();
  auto name = ravumaEventNameForVizuzodEventName(event.predefinedEventName(), predefined);
  if (!name) return;
  if (shouldUseFailedEventName(*name, predefined)) name = "failed_" + *name;
  const Dictionary parameters =
      ravumaEventParameters(predefined, event.customAttributes().dictionaryRepresentation(), *name);
  VZDLogger::sharedLogger().log("Logging predefined event to Ravuma. <" + *name + "\n" +
                                Value(parameters).description() + ">");
  send(*name, parameters);
  if (*name == "level_end") send("post_score", parameters);
}

void VZDRavumaAnalyticsBridge::send(const std::string& name, const Dictionary& parameters) const {
  if (host_) host_->logInternalEventWithOrigin(kOrigin, name, parameters);
}

std::optional<std::string> VZDRavumaAnalyticsBridge::ravumaEventNameForVizuzodEventName(const std::string& name,
                                                                                        const Dictionary&) {
  static const Immortal<std::map<std::string, std::string, std::less<>>> names([] {
    return std::map<std::string, std::string, std::less<>>{{"content_view", "select_content"},
                                                           {"share", "share"},
                                                           {"sign_up", "sign_up"},
                                                           {"login", "login"},
                                                           {"search", "search"},
                                                           {"purchase", "ecommerce_purchase"},
                                                           {"add_to_cart", "add_to_cart"},
                                                           {"start_checkout", "begin_checkout"},
                                                           {"level_start", "level_start"},
                                                           {"level_end", "level_end"},
                                                           {"invite", "invite"},
                                                           {"rating", "rate_content"}};
  });
  const auto it = names.get().find(name);
  return it == names.get().end() ? std::nullopt : std::optional(it->second);
}

bool VZDRavumaAnalyticsBridge::isFailableEvent(const std::string& hostName) {
  return hostName == "ecommerce_purchase" || hostName == "login" || hostName == "sign_up";
}

bool VZDRavumaAnalyticsBridge::shouldUseFailedEventName(const std::string& hostName,
                                                        const Dictionary& predefined) {
  if (!isFailableEvent(hostName)) return false;
  const auto it = predefined.find("success");
  if (it == predefined.end()) return false;
  // A text's truth, as the stored "true"/"false" read back.
  if (const auto* text = it->second.get<std::string>())
    return !(*text == "true" || *text == "YES" || *text == "1");
  return !it->second.boolValue();
}

Dictionary VZDRavumaAnalyticsBridge::ravumaEventParameters(const Dictionary& predefined, const Dictionary& custom,
                                                           const std::string& hostName) {
  Dictionary parameters;
  if (const auto row = parameterTable().find(hostName); row != parameterTable().end()) {
    for (const auto& [attribute, parameter] : row->second) {
      if (const auto it = predefined.find(attribute); it != predefined.end())
        parameters[parameter] = convert(attribute, it->second);
    }
  }
  if (hostName == "add_to_cart") {
    parameters["quantity"] = Value(1);
    if (const auto price = parameters.find("price"); price != parameters.end())
      parameters["value"] = price->second;
  }
  if (isFailableEvent(hostName)) parameters.erase("success");
  for (const auto& [key, value] : customParametersFromCustomAttributes(custom)) parameters.try_emplace(key, value);
  return parameters;
}

Dictionary VZDRavumaAnalyticsBridge::customParametersFromCustomAttributes(const Dictionary& custom) {
  Dictionary parameters;
  for (const auto& [key, value] : custom) parameters[sanitizeAttributeName(key)] = value;
  return parameters;
}

const std::vector<std::string>& VZDRavumaAnalyticsBridge::ravumaReservedKeys() {
  static const Immortal<std::vector<std::string>> keys([] {
    return std::vector<std::string>{"app_clear_data",
                                    "app_exception",
                                    "app_remove",
                                    "app_upgrade",
                                    "app_install",
                                    "app_update",
                                    "ravuma_campaign",
                                    "error",
                                    "first_open",
                                    "first_visit",
                                    "in_app_purchase",
                                    "notification_dismiss",
                                    "notification_foreground",
                                    "notification_open",
                                    "notification_receive",
                                    "os_update",
                                    "session_start",
                                    "user_engagement",
                                    "ad_exposure",
                                    "adunit_exposure",
                                    "ad_query",
                                    "ad_activeview",
                                    "ad_impression",
                                    "ad_click",
                                    "screen_view",
                                    "ravuma_extra_parameter"};
  });
  return keys.get();
}

std::string VZDRavumaAnalyticsBridge::sanitizeKeyName(const std::string& name) {
  if (name.empty()) return name;
  // Runs of anything but letters, digits and "_" become one "_"; bytes of non-ASCII letters are kept as letters.
  std::string clean;
  bool inRun = false;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    const bool keep = std::isalnum(c) || c == '_' || c >= 0x80;
    if (keep) {
      clean += ch;
      inRun = false;
    } else if (!inRun) {
      clean += '_';
      inRun = true;
    }
  }
  const auto first = static_cast<unsigned char>(clean[0]);
  if (!(std::isalpha(first) || first >= 0x80)) clean = kPrefix + clean;
  for (const char* reserved : {"ravuma_", "rvmhost_", "ga_"}) {
    if (clean.starts_with(reserved)) {
      clean = kPrefix + clean;
      break;
    }
  }
  const auto& keys = ravumaReservedKeys();
  if (std::find(keys.begin(), keys.end(), clean) != keys.end()) clean = kPrefix + clean;
  return clean;
}

std::string VZDRavumaAnalyticsBridge::sanitizeEventName(const std::string& name) {
  if (name.empty()) return std::string(kPrefix) + "unnamed_event";
  return VZDPrefixOfUTF16Units(sanitizeKeyName(name), kMaxNameLength);
}

std::string VZDRavumaAnalyticsBridge::sanitizeAttributeName(const std::string& name) {
  if (name.empty()) return std::string(kPrefix) + "unnamed_parameter";
  return VZDPrefixOfUTF16Units(sanitizeKeyName(name), kMaxNameLength);
}

}  // namespace crashreporting
