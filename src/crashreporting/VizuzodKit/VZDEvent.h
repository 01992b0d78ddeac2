#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "crashreporting/VizuzodKit/VZDAttributeDictionary.h"
#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// Seconds since 1970 of the present moment.
double VZDNow();

/// One analytics event: when it happened, its identifier, and what its log line holds.
class VZDEvent {
 public:
  VZDEvent();
  virtual ~VZDEvent() = default;
  virtual std::string name() const { return "unknown"; }
  virtual Dictionary dictionaryRepresentation() const { return {}; }
  virtual bool triggersFlush() const { return false; }
  /// Seconds since 1970.
  virtual double timestamp() const { return timestamp_; }
  const std::string& identifier() const { return identifier_; }
  virtual std::string description() const;

 private:
  double timestamp_;
  std::string identifier_;
};

/// One of the twelve predefined kinds ("sign_up", "purchase", …) with its own and the caller's attributes.
class VZDPredefinedEvent : public VZDEvent {
 public:
  VZDPredefinedEvent(std::string predefinedEventName, const std::optional<Dictionary>& customAttributes);
  std::string name() const override { return "predefined"; }
  Dictionary dictionaryRepresentation() const override;
  std::string description() const override;
  const std::string& predefinedEventName() const { return predefinedEventName_; }
  VZDAttributeDictionary& predefinedAttributes() { return predefinedAttributes_; }
  const VZDAttributeDictionary& predefinedAttributes() const { return predefinedAttributes_; }
  const VZDAttributeDictionary& customAttributes() const { return customAttributes_; }

  using Attrs = std::optional<Dictionary>;
  using Text = std::optional<std::string>;
  static std::shared_ptr<VZDPredefinedEvent> signUpEventWithMethod(Text method, std::optional<bool> success,
                                                                   Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> loginEventWithMethod(Text method, std::optional<bool> success,
                                                                  Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> shareEventWithMethod(Text method, Text contentName, Text contentType,
                                                                  Text contentId, Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> inviteEventWithMethod(Text method, Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> purchaseEventWithPrice(std::optional<double> price, Text currency,
                                                                    std::optional<bool> success, Text itemName,
                                                                    Text itemType, Text itemId, Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> levelStartEventWithLevelName(Text levelName, Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> levelEndEventWithLevelName(Text levelName, std::optional<Value> score,
                                                                        std::optional<bool> success, Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> addToCartEventWithPrice(std::optional<double> price, Text currency,
                                                                     Text itemName, Text itemType, Text itemId,
                                                                     Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> startCheckoutEventWithPrice(std::optional<double> totalPrice,
                                                                         Text currency,
                                                                         std::optional<Value> itemCount,
                                                                         Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> ratingEventWithRating(std::optional<Value> rating, Text contentName,
                                                                   Text contentType, Text contentId, Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> contentViewEventWithName(Text contentName, Text contentType,
                                                                      Text contentId, Attrs custom);
  static std::shared_ptr<VZDPredefinedEvent> searchEventWithQuery(Text query, Attrs custom);

 private:
  void addText(const Text& value, const std::string& key);
  void addNumber(const std::optional<Value>& value, const std::string& key);

  std::string predefinedEventName_;
  VZDAttributeDictionary predefinedAttributes_;
  VZDAttributeDictionary customAttributes_;
};

/// An event the application names itself; its attributes are checked anew each time its payload is asked for.
class VZDCustomEvent : public VZDEvent {
 public:
  VZDCustomEvent(std::string customEventName, std::optional<Dictionary> customAttributes);
  std::string name() const override { return "custom"; }
  Dictionary dictionaryRepresentation() const override;
  std::string description() const override;
  const std::string& customEventName() const { return customEventName_; }
  Dictionary attributesDictionary() const;

 private:
  std::string customEventName_;
  std::optional<Dictionary> customAttributes_;
};

/// An application life-cycle step: launched, installed, became active or inactive, terminated.
class VZDLifecycleEvent : public VZDEvent {
 public:
  explicit VZDLifecycleEvent(std::string name) : name_(std::move(name)) {}
  static std::shared_ptr<VZDLifecycleEvent> eventWithNotification(std::string_view notificationName);
  static std::shared_ptr<VZDLifecycleEvent> installEvent();
  static std::shared_ptr<VZDLifecycleEvent> appLaunchedEvent();
  /// The event name of a notification; "unknown-notification" for one not mapped.
  static std::string nameFromNotification(std::string_view notificationName);

  std::string name() const override { return name_; }
  Dictionary dictionaryRepresentation() const override { return {{"eventId", Value(identifier())}}; }
  bool triggersFlush() const override;

 private:
  std::string name_;
};

inline constexpr const char* kVZDWillTerminateNotification = "NSApplicationWillTerminateNotification";
inline constexpr const char* kVZDWillResignActiveNotification = "NSApplicationWillResignActiveNotification";
inline constexpr const char* kVZDDidBecomeActiveNotification = "NSApplicationDidBecomeActiveNotification";

/// The crash of an earlier run, dated when it happened.
class VZDCrashEvent : public VZDEvent {
 public:
  VZDCrashEvent(double crashTimestamp, std::uint64_t crashState)
      : crashTimestamp_(crashTimestamp), crashState_(crashState) {}
  std::string name() const override { return "app_crashed"; }
  double timestamp() const override { return crashTimestamp_; }
  Dictionary dictionaryRepresentation() const override;
  /// "foreground" (1), "background" (2), else "unknown".
  static std::string payloadStringForCrashState(std::uint64_t state);

 private:
  double crashTimestamp_;
  std::uint64_t crashState_;
};

}  // namespace crashreporting
