#include <fstream>

#include "crashreporting/Reports/VRDApplication.h"
#include "crashreporting/Reports/VRDSettings.h"
#include "crashreporting/platform/PropertyList.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting::test {
namespace {

class Settings : public LibraryTest {
 protected:
  void setBundle(Dictionary info, std::optional<std::filesystem::path> folder = std::nullopt) {
    BundleInfo bundle;
    bundle.infoDictionary = std::move(info);
    bundle.bundlePath = std::move(folder);
    MainBundle::set(std::move(bundle));
  }
};

TEST_F(Settings, WithoutDownloadedSettingsEveryValueHasItsDefault) {
  const VRDSettings settings;
  EXPECT_TRUE(settings.crashReportingEnabled());
  EXPECT_TRUE(settings.errorReportingEnabled());
  EXPECT_TRUE(settings.customExceptionsEnabled());
  EXPECT_FALSE(settings.userPromptEnabled());
  EXPECT_EQ(settings.logBufferSize(), 65536u);
  EXPECT_EQ(settings.errorLogBufferSize(), 65536u);
  EXPECT_EQ(settings.maxCustomExceptions(), 16u);
  EXPECT_EQ(settings.maxCustomKeys(), 16u);
  EXPECT_EQ(settings.betaSuspendDuration(), 3600);
  EXPECT_TRUE(settings.shouldPackageReports());
  EXPECT_TRUE(settings.shouldSubmitReports());
  EXPECT_TRUE(settings.canProcessUrgentReports());
  EXPECT_EQ(settings.reportsEndpoint().rfind("https://", 0), 0u);
  EXPECT_EQ(settings.interactivePromptTitle(), "Send Crash Report?");
  EXPECT_EQ(settings.interactivePromptCancelTitle(), "Don't Send");
  EXPECT_EQ(settings.interactivePromptAlwaysSendTitle(), "Always Send");
}

TEST_F(Settings, DownloadedValuesAreReadAsNumbersAndTextsAnswerThem) {
  Dictionary features{{"collect_reports", Value(false)}, {"collect_logged_exceptions", Value("no")},
                      {"prompt_enabled", Value("  +0Yes")}};
  Dictionary session{{"log_buffer_size", Value(1024)}, {"max_custom_exception_events", Value("32 events")},
                     {"max_custom_key_value_pairs", Value(8.9)}};
  Dictionary beta{{"update_suspend_duration", Value(60)}};
  const VRDSettings settings(Dictionary{{"features", Value(features)}, {"session", Value(session)},
                                        {"beta", Value(beta)}});
  EXPECT_FALSE(settings.crashReportingEnabled());
  EXPECT_FALSE(settings.errorReportingEnabled());
  EXPECT_TRUE(settings.userPromptEnabled());
  EXPECT_EQ(settings.logBufferSize(), 1024u);
  EXPECT_EQ(settings.maxCustomExceptions(), 32u);
  EXPECT_EQ(settings.maxCustomKeys(), 8u);
  EXPECT_EQ(settings.betaSuspendDuration(), 60);
}

TEST_F(Settings, TextsAreTruthsAsTheStringToBoolReadsThem) {
  for (const char* yes : {"YES", "y", "true", "T", "1", "  9", "-3", "+t", "007", " 0y"}) {
    EXPECT_TRUE(VRDBoolFromText(yes)) << yes;
  }
  for (const char* no : {"NO", "", "   ", "0", "false", "f", "x1", "- 1", "+"}) {
    EXPECT_FALSE(VRDBoolFromText(no)) << no;
  }
}

TEST_F(Settings, TheEnvironmentWinsOverTheInformationEntryWhichWinsOverTheDefault) {
  setBundle(Dictionary{{"Vuveradarad", Value(Dictionary{{"UrgentReports", Value(true)},
                                                        {"SubmitReports", Value(false)},
                                                        {"ReportsEndpoint", Value("https://r.example")}})}});
  {
    tilvane::test::ScopedEnv urgent("VuveradaradUrgentReports", "NO");
    EXPECT_FALSE(VRDSettings().canProcessUrgentReports());
    EXPECT_EQ(log_.count("[Vuveradarad:Crash] override: 'UrgentReports' => 'NO'"), 1u);
  }
  EXPECT_TRUE(VRDSettings().canProcessUrgentReports());
  EXPECT_FALSE(VRDSettings().shouldSubmitReports());
  EXPECT_EQ(VRDSettings().reportsEndpoint(), "https://r.example");
  EXPECT_TRUE(VRDSettings().shouldPackageReports());
}

TEST_F(Settings, ALocalisationWinsOverTheDownloadedPromptWhichWinsOverTheBuiltInText) {
  const VRDSettings settings(Dictionary{{"prompt", Value(Dictionary{{"title", Value("Downloaded")},
                                                                    {"message", Value("Text")}})}});
  EXPECT_EQ(settings.interactivePromptTitle(), "Downloaded");
  const auto bundle = tempDir() / "bundle";
  std::filesystem::create_directories(bundle);
  std::string error;
  std::ofstream(bundle / "Vuveradarad.strings")
      << *plist::encodeXml(Dictionary{{"VuveradaradCrashSubmissionPromptTitle", Value("Localised")}}, error);
  setBundle({}, bundle);
  EXPECT_EQ(settings.interactivePromptTitle(), "Localised");
  EXPECT_EQ(settings.interactivePromptMessage(), "Text");
  EXPECT_EQ(settings.interactivePromptSendTitle(), "Send");
}

TEST_F(Settings, AMalformedExtensionEntryIsNoExtension) {
  EXPECT_FALSE(VRDApplicationIsExtension());
  setBundle(Dictionary{{"NSExtension", Value("widget")}});
  EXPECT_FALSE(VRDApplicationIsExtension());
  setBundle(Dictionary{{"NSExtension", Value(Dictionary{{"NSExtensionPointIdentifier", Value(3)}})}});
  EXPECT_FALSE(VRDApplicationIsExtension());
  setBundle(Dictionary{{"NSExtension", Value(Dictionary{{"NSExtensionPointIdentifier", Value("com.x.share")}})}});
  EXPECT_EQ(VRDApplicationExtensionPointIdentifier(), "com.x.share");
  EXPECT_TRUE(VRDApplicationIsExtension());
}

TEST_F(Settings, AnActivityThatKeepsTheProcessIsCountedWhileItRuns) {
  int during = -1;
  VRDApplicationActivity(0xC000, "processing", [&] { during = VRDApplicationActivitiesInProgress(); });
  EXPECT_EQ(during, 1);
  EXPECT_EQ(VRDApplicationActivitiesInProgress(), 0);
  VRDApplicationActivity(0, "nothing", [&] { during = VRDApplicationActivitiesInProgress(); });
  EXPECT_EQ(during, 0);
}

}  // namespace
}  // namespace crashreporting::test
