#include "crashreporting/VizuzodKit/VZDEvent.h"

#include <chrono>

#include "crashreporting/Kit/ZIZApplication.h"

namespace crashreporting {

double VZDNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

VZDEvent::VZDEvent() : timestamp_(VZDNow()), identifier_(ZIZCreateUUIDString()) {}

std::string VZDEvent::description() const {
  std::string text = "<";
  text += name();
  text += '>';
  return text;
}

VZDPredefinedEvent::VZDPredefinedEvent(std::string predefinedEventName, const std::optional<Dictionary>& custom)
    : predefinedEventName_(std::move(predefinedEventName)), customAttributes_(custom) {}

Dictionary VZDPredefinedEvent::dictionaryRepresentation() const {
  return {{"eventId", Value(identifier())},
          {"predefined_type", Value(predefinedEventName_)},
          {"custom_attributes", Value(customAttributes_.dictionaryRepresentation())},
          {"predefined_attributes", Value(predefinedAttributes_.dictionaryRepresentation())}};
}

std::string VZDPredefinedEvent::description() const {
  return "<VZDPredefinedEvent: " + predefinedEventName_ + "\n" + predefinedAttributes_.description() + "\n" +
         customAttributes_.description() + ">";
}

void VZDPredefinedEvent::addText(const Text& value, const std::string& key) {
  if (value) predefinedAttributes_.addAttribute(Value(*value), Value(key));
}

void VZDPredefinedEvent::addNumber(const std::optional<Value>& value, const std::string& key) {
  if (value) predefinedAttributes_.addAttribute(*value, Value(key));
}

namespace {
std::shared_ptr<VZDPredefinedEvent> make(const char* name, const std::optional<Dictionary>& custom) {
  return std::make_shared<VZDPredefinedEvent>(name, custom);
}
}  // namespace

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::signUpEventWithMethod(Text method,
                                                                              std::optional<bool> success,
                                                                              Attrs c) {
  auto e = make("sign_up", c);
  e->addText(method, "method");
  e->predefinedAttributes_.addBooleanAttribute(success, "success");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::loginEventWithMethod(Text method,
                                                                             std::optional<bool> success,
                                                                             Attrs c) {
  auto e = make("login", c);
  e->addText(method, "method");
  e->predefinedAttributes_.addBooleanAttribute(success, "success");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::shareEventWithMethod(Text method, Text contentName,
                                                                             Text contentType, Text contentId,
                                                                             Attrs c) {
  auto e = make("share", c);
  e->addText(method, "method");
  e->addText(contentName, "content_name");
  e->addText(contentType, "content_type");
  e->addText(contentId, "content_id");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::inviteEventWithMethod(Text method, Attrs c) {
  auto e = make("invite", c);
  e->addText(method, "method");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::purchaseEventWithPrice(std::optional<double> price,
                                                                               Text currency,
                                                                               std::optional<bool> success,
                                                                               Text itemName, Text itemType,
                                                                               Text itemId, Attrs c) {
  auto e = make("purchase", c);
  e->predefinedAttributes_.addPriceAttribute(price, "item_price");
  e->addText(currency, "currency");
  e->predefinedAttributes_.addBooleanAttribute(success, "success");
  e->addText(itemName, "item_name");
  e->addText(itemType, "item_type");
  e->addText(itemId, "item_id");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::levelStartEventWithLevelName(Text levelName, Attrs c) {
  auto e = make("level_start", c);
  e->addText(levelName, "level_name");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::levelEndEventWithLevelName(Text levelName,
                                                                                   std::optional<Value> score,
                                                                                   std::optional<bool> success,
                                                                                   Attrs c) {
  auto e = make("level_end", c);
  e->addText(levelName, "level_name");
  e->addNumber(score, "score");
  e->predefinedAttributes_.addBooleanAttribute(success, "success");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::addToCartEventWithPrice(std::optional<double> price,
                                                                                Text currency, Text itemName,
                                                                                Text itemType, Text itemId,
                                                                                Attrs c) {
  auto e = make("add_to_cart", c);
  e->predefinedAttributes_.addPriceAttribute(price, "item_price");
  e->addText(currency, "currency");
  e->addText(itemName, "item_name");
  e->addText(itemType, "item_type");
  e->addText(itemId, "item_id");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::startCheckoutEventWithPrice(
    std::optional<double> totalPrice, Text currency, std::optional<Value> itemCount, Attrs c) {
  auto e = make("start_checkout", c);
  e->predefinedAttributes_.addPriceAttribute(totalPrice, "total_price");
  e->addText(currency, "currency");
  e->addNumber(itemCount, "item_count");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::ratingEventWithRating(std::optional<Value> rating,
                                                                              Text contentName, Text contentType,
                                                                              Text contentId, Attrs c) {
  auto e = make("rating", c);
  e->addNumber(rating, "rating");
  e->addText(contentName, "content_name");
  e->addText(contentType, "content_type");
  e->addText(contentId, "content_id");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::contentViewEventWithName(Text contentName,
                                                                                 Text contentType, Text contentId,
                                                                                 Attrs c) {
  auto e = make("content_view", c);
  e->addText(contentName, "content_name");
  e->addText(contentType, "content_type");
  e->addText(contentId, "content_id");
  return e;
}

std::shared_ptr<VZDPredefinedEvent> VZDPredefinedEvent::searchEventWithQuery(Text query, Attrs c) {
  auto e = make("search", c);
  e->addText(query, "query");
  return e;
}

VZDCustomEvent::VZDCustomEvent(std::string customEventName, std::optional<Dictionary> customAttributes)
    : customEventName_(std::move(customEventName)), customAttributes_(std::move(customAttributes)) {}

Dictionary VZDCustomEvent::attributesDictionary() const {
  return VZDAttributeDictionary(customAttributes_).dictionaryRepresentation();
}

Dictionary VZDCustomEvent::dictionaryRepresentation() const {
  return {{"eventId", Value(identifier())},
          {"custom_type", Value(customEventName_)},
          {"custom_attributes", Value(attributesDictionary())}};
}

std::string VZDCustomEvent::description() const {
  return "<VZDCustomEvent: " + customEventName_ + "\n" + Value(attributesDictionary()).description() + ">";
}

std::string VZDLifecycleEvent::nameFromNotification(std::string_view notificationName) {
  if (notificationName == kVZDWillTerminateNotification) return "app_terminated";
  if (notificationName == kVZDWillResignActiveNotification) return "app_became_inactive";
  if (notificationName == kVZDDidBecomeActiveNotification) return "app_became_active";
  return "unknown-notification";
}

std::shared_ptr<VZDLifecycleEvent> VZDLifecycleEvent::eventWithNotification(std::string_view notificationName) {
  return std::make_shared<VZDLifecycleEvent>(nameFromNotification(notificationName));
}

std::shared_ptr<VZDLifecycleEvent> VZDLifecycleEvent::installEvent() {
  return std::make_shared<VZDLifecycleEvent>("app_installed");
}

std::shared_ptr<VZDLifecycleEvent> VZDLifecycleEvent::appLaunchedEvent() {
  return std::make_shared<VZDLifecycleEvent>("app_launched");
}

bool VZDLifecycleEvent::triggersFlush() const {
  return name_ == "app_became_inactive" || name_ == "app_became_active" || name_ == "app_installed";
}

Dictionary VZDCrashEvent::dictionaryRepresentation() const {
  return {{"eventId", Value(identifier())}, {"crash_state", Value(payloadStringForCrashState(crashState_))}};
}

std::string VZDCrashEvent::payloadStringForCrashState(std::uint64_t state) {
  if (state == 1) return "foreground";
  if (state == 2) return "background";
  return "unknown";
}

}  // namespace crashreporting
