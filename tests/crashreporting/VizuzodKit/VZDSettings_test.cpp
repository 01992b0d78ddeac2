#include "crashreporting/VizuzodKit/VZDSettings.h"

#include <gtest/gtest.h>

#include "crashreporting/Kit/Zizozu.h"
#include "crashreporting/VizuzodKit/VZDEvent.h"
#include "crashreporting/VizuzodKit/VZDEventFilter.h"
#include "crashreporting/VizuzodKit/VZDMetadata.h"
#include "crashreporting/platform/TruthValue.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

class VZDSettingsTest : public test::LibraryTest {};

TEST_F(VZDSettingsTest, ReadsEachValueOrItsDefault) {
  const VZDSettings none;
  EXPECT_FALSE(none.valid());
  EXPECT_TRUE(none.shouldCollectAnalytics());
  EXPECT_EQ(none.maximumPayloadSize(), 8000);
  EXPECT_EQ(none.maxPendingSendFiles(), 100);
  EXPECT_EQ(none.samplingRate(), 1);
  EXPECT_EQ(none.flushInterval(), 0.0);
  EXPECT_EQ(none.defaultUploadTimeout(), 21600.0);
  EXPECT_EQ(none.lowPowerUploadTimeout(), 3600.0);
  EXPECT_FALSE(none.shouldForwardToRavumaAnalytics());
  EXPECT_EQ(none.vizuzodURL(), kVZDDefaultEventsURL);

  const VZDSettings given(Dictionary{
      {"features", Value(Dictionary{{"collect_analytics", Value(false)}})},
      {"analytics", Value(Dictionary{{"flush_interval_secs", Value("30")},
                                     {"sampling_rate", Value(5)},
                                     {"max_byte_size_per_file", Value(10.7)},
                                     {"forward_to_host_analytics", Value(1)},
                                     {"url", Value("https://127.0.0.1:1/e")}})}});
  EXPECT_TRUE(given.valid());
  EXPECT_FALSE(given.shouldCollectAnalytics());
  EXPECT_EQ(given.flushInterval(), 30.0);
  EXPECT_EQ(given.samplingRate(), 5);
  EXPECT_EQ(given.maximumPayloadSize(), 10);
  EXPECT_TRUE(given.shouldForwardToRavumaAnalytics());
  EXPECT_EQ(given.vizuzodURL(), "https://127.0.0.1:1/e");
  EXPECT_EQ(VZDSettings(Dictionary{}).maxPendingSendFiles(), 100);
}

TEST_F(VZDSettingsTest, TextSwitchesReadAsThePlatformReadsThemAndTheCrashKitAgrees) {
  for (const auto& [text, truth] : std::vector<std::pair<std::string, bool>>{
           {"007", true}, {"  yes", true}, {"-1", true}, {"+0", false}, {"00", false}, {"0x1", false},
           {"no", false}, {"", false}, {"True", true}}) {
    const Dictionary dictionary{{"features", Value(Dictionary{{"collect_analytics", Value(text)}})},
                                {"analytics", Value(Dictionary{{"forward_to_host_analytics", Value(text)}})}};
    EXPECT_EQ(VZDSettings(dictionary).shouldCollectAnalytics(), truth) << '"' << text << '"';
    EXPECT_EQ(VZDSettings(dictionary).shouldForwardToRavumaAnalytics(), truth) << '"' << text << '"';
    EXPECT_EQ(VRDBoolFromText(text), truth) << '"' << text << '"';
  }
}

TEST_F(VZDSettingsTest, SamplesLifecycleEventsByTheInstallationHash) {
  EXPECT_EQ(VZDEventFilter::javaHashCodeForString("abc"), 96354);
  EXPECT_EQ(VZDEventFilter::javaHashCodeForString(""), 0);
  EXPECT_EQ(VZDEventFilter::javaHashCodeForString("\xF0\x9F\x98\x80"), 31 * 0xD83D + 0xDE00);
  const VZDEventFilter filter;
  const auto launched = VZDLifecycleEvent::appLaunchedEvent();
  const VZDCustomEvent custom("c", std::nullopt);
  EXPECT_FALSE(filter.shouldDiscardEvent(launched.get(), std::nullopt, "abc", 2));
  EXPECT_TRUE(filter.shouldDiscardEvent(launched.get(), std::nullopt, "abc", 5));
  EXPECT_FALSE(filter.shouldDiscardEvent(&custom, std::nullopt, "abc", 5));
  EXPECT_FALSE(filter.shouldDiscardEvent(VZDLifecycleEvent::installEvent().get(), std::nullopt, "abc", 5));
  EXPECT_FALSE(filter.shouldDiscardEvent(launched.get(), "beta", "abc", 5));
  EXPECT_FALSE(filter.shouldDiscardEvent(launched.get(), std::nullopt, std::nullopt, 5));
  EXPECT_TRUE(filter.shouldDiscardEvent(nullptr, std::nullopt, "abc", 1));
  // A negative hash: kept only when the signed remainder is 0.
  const std::string negative = "a long installation identifier";
  const std::int32_t h = VZDEventFilter::javaHashCodeForString(negative);
  ASSERT_LT(h, 0);
  EXPECT_EQ(VZDEventFilter::shouldDiscardEventWithInstallationID(negative, 3), h % 3 != 0);
}

TEST_F(VZDSettingsTest, MetadataUnwrapsTheBetaTokenAndNeverSendsAnAdvertisingId) {
  EXPECT_EQ(VZDMetadata::unwrapBetaToken("2:tok"), "tok");
  EXPECT_EQ(VZDMetadata::unwrapBetaToken("1:tok"), std::nullopt);
  EXPECT_EQ(VZDMetadata::unwrapBetaToken("2:a:b"), std::nullopt);
  EXPECT_EQ(VZDMetadata::unwrapBetaToken(std::nullopt), std::nullopt);

  MainBundle::set(BundleInfo{Dictionary{{"CFBundleIdentifier", Value("org/test")},
                                        {"CFBundleVersion", Value("7")},
                                        {"Zizozu", Value(Dictionary{{"APIKey", Value("key-1")}})}},
                             {}});
  Zizozu& zizozu = Zizozu::sharedSDK();
  const auto plain = VZDMetadata(zizozu, std::nullopt).dictionaryRepresentationWithStartTime(12);
  EXPECT_EQ(plain->at("started_at"), Value(12));
  EXPECT_EQ(plain->at("api_key"), Value("key-1"));
  EXPECT_EQ(plain->at("bundle_id"), Value("org_test"));
  EXPECT_EQ(plain->at("install_id"), Value(zizozu.installID()));
  EXPECT_EQ(plain->at("session_id"), Value(zizozu.executionIdentifier()));
  EXPECT_EQ(plain->at("jailbroken"), Value(false));
  EXPECT_FALSE(plain->contains("advertising_id"));
  EXPECT_FALSE(plain->contains("beta_tester_token"));
  const auto beta = VZDMetadata(zizozu, "2:tok").dictionaryRepresentationWithStartTime(12);
  EXPECT_EQ(beta->at("beta_tester_token"), Value("tok"));
}

}  // namespace
}  // namespace crashreporting
