#include "crashreporting/VizuzodKit/VZDEvent.h"

#include <gtest/gtest.h>

#include <cmath>

#include "crashreporting/VizuzodKit/VZDText.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

class VZDEventTest : public test::LibraryTest {};

TEST_F(VZDEventTest, KeepsTwentyOneAttributesAndRefusesTheRestWithOneLineEach) {
  Dictionary many;
  for (int i = 0; i < 25; ++i) many["k" + std::to_string(100 + i)] = Value("v");
  const VZDAttributeDictionary attributes(many);
  EXPECT_EQ(attributes.dictionaryRepresentation().size(), 21u);
  std::size_t refused = 0;
  for (const auto& line : log_.lines())
    refused += line.starts_with("[Vizuzod] Maximum number of Event attributes exceeded. Ignoring entry ");
  EXPECT_EQ(refused, 4u);
  EXPECT_EQ(log_.count("[Vizuzod] Maximum number of Event attributes exceeded. Ignoring entry k124:v"), 1u);
}

TEST_F(VZDEventTest, CutsLongTextsAtWholeCharacters) {
  VZDAttributeDictionary attributes;
  attributes.addAttribute(Value(std::string(150, 'a')), Value("long"));
  attributes.addAttribute(Value(std::string(100, 'b')), Value("exact"));
  EXPECT_EQ(*attributes.dictionaryRepresentation().at("long").get<std::string>(), std::string(100, 'a'));
  EXPECT_EQ(*attributes.dictionaryRepresentation().at("exact").get<std::string>(), std::string(100, 'b'));
  EXPECT_EQ(log_.count("[Vizuzod] Maximum length for an Event attributes exceeded. Truncating to 100 characters."), 1u);

  // 99 units then an emoji (two UTF-16 units): the emoji does not fit and is dropped whole.
  const std::string emoji = "\xF0\x9F\x98\x80";
  VZDAttributeDictionary astral;
  astral.addAttribute(Value(std::string(99, 'x') + emoji + "yy"), Value("e"));
  EXPECT_EQ(*astral.dictionaryRepresentation().at("e").get<std::string>(), std::string(99, 'x'));
  EXPECT_EQ(VZDPrefixOfUTF16Units("é" + emoji, 2), "é");
  EXPECT_EQ(VZDPrefixOfUTF16Units("é" + emoji, 3), "é" + emoji);
  EXPECT_EQ(VZDUTF16Length("é" + emoji), 3u);
  EXPECT_EQ(VZDPrefixOfUTF16Units("ab\xE2\x82", 5), "ab");  // a cut-off sequence at the end is not kept
}

TEST_F(VZDEventTest, ChecksKeysValuesBooleansPricesAndNaN) {
  VZDAttributeDictionary attributes;
  attributes.addAttribute(Value("v"), Value(3));
  attributes.addAttribute(Value(Data{1}), Value("date"));
  EXPECT_TRUE(attributes.dictionaryRepresentation().empty());
  EXPECT_EQ(log_.count("[Vizuzod] Event attribute keys must be of type NSString. Ignoring entry 3:v"), 1u);
  EXPECT_EQ(log_.lines().size(), 2u);

  attributes.addAttribute(Value(5), Value("n"));
  attributes.addAttribute(Value(std::nan("")), Value("n"));
  EXPECT_FALSE(attributes.dictionaryRepresentation().contains("n"));

  const auto purchase = VZDPredefinedEvent::purchaseEventWithPrice(9.99, "USD", true, "item", std::nullopt, "id", std::nullopt);
  const Dictionary& p = purchase->predefinedAttributes().dictionaryRepresentation();
  EXPECT_EQ(p.at("item_price"), Value(9990000));
  EXPECT_EQ(p.at("success"), Value("true"));
  EXPECT_FALSE(p.contains("item_type"));
  const auto huge = VZDPredefinedEvent::purchaseEventWithPrice(1e200, "USD", std::nullopt, {}, {}, {}, {});
  EXPECT_FALSE(huge->predefinedAttributes().dictionaryRepresentation().contains("item_price"));
  EXPECT_FALSE(huge->predefinedAttributes().dictionaryRepresentation().contains("success"));
  EXPECT_EQ(log_.count("[Vizuzod] Maximum value for a price attribute exceeded. Ignoring price attribute with value: "
                       "1e+200"),
            1u);
}

TEST_F(VZDEventTest, EventsCarryTheirNamesAndPayloads) {
  const auto login = VZDPredefinedEvent::loginEventWithMethod("mail", false, Dictionary{{"a", Value(1)}});
  const Dictionary payload = login->dictionaryRepresentation();
  EXPECT_EQ(login->name(), "predefined");
  EXPECT_EQ(payload.at("predefined_type"), Value("login"));
  EXPECT_EQ(payload.at("eventId"), Value(login->identifier()));
  EXPECT_EQ(*payload.at("predefined_attributes").member("success"), Value("false"));
  EXPECT_EQ(*payload.at("custom_attributes").member("a"), Value(1));

  const VZDCustomEvent custom("x", Dictionary{{"long", Value(std::string(120, 'c'))}});
  EXPECT_EQ(custom.dictionaryRepresentation().at("custom_type"), Value("x"));
  EXPECT_EQ(custom.dictionaryRepresentation().at("custom_attributes").member("long")->get<std::string>()->size(), 100u);

  const VZDCrashEvent crash(1234.5, 0);
  EXPECT_EQ(crash.name(), "app_crashed");
  EXPECT_EQ(crash.timestamp(), 1234.5);
  EXPECT_EQ(crash.dictionaryRepresentation().at("crash_state"), Value("unknown"));
  EXPECT_EQ(VZDCrashEvent::payloadStringForCrashState(2), "background");

  EXPECT_EQ(VZDLifecycleEvent::eventWithNotification("Other")->name(), "unknown-notification");
  EXPECT_TRUE(VZDLifecycleEvent::eventWithNotification(kVZDWillResignActiveNotification)->triggersFlush());
  EXPECT_FALSE(VZDLifecycleEvent::eventWithNotification(kVZDWillTerminateNotification)->triggersFlush());
  EXPECT_TRUE(VZDLifecycleEvent::installEvent()->triggersFlush());
  EXPECT_FALSE(VZDLifecycleEvent::appLaunchedEvent()->triggersFlush());
}

}  // namespace
}  // namespace crashreporting
