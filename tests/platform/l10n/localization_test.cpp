#include <gtest/gtest.h>

#include <algorithm>

#include "platform/l10n/Localization.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

using test::ScopedEnv;

class LocalizationTest : public ::testing::Test {
 protected:
  ScopedEnv language_{"LANGUAGE", std::nullopt};
  ScopedEnv all_{"LC_ALL", std::nullopt};
  ScopedEnv messages_{"LC_MESSAGES", std::nullopt};
  ScopedEnv lang_{"LANG", std::nullopt};
};

TEST_F(LocalizationTest, EnglishTextsOfTheModelDefaultsAndTypeTitles) {
  EXPECT_EQ(NSLocalizedString("NewSpace"), "New Workspace");
  EXPECT_EQ(NSLocalizedString("NewCustomLayout"), "New Layout");
  for (const char* key : {"Disabled", "FixedPositionAndSize", "MatrixArrangedLayout", "AutoLayoutWithTilvane",
                          "DoNotLayout"})
    EXPECT_NE(NSLocalizedString(key), "") << key;
}

TEST_F(LocalizationTest, UnknownKeyIsItsOwnText) { EXPECT_EQ(NSLocalizedString("NoSuchKey"), "NoSuchKey"); }

TEST_F(LocalizationTest, LanguageWithoutATableFallsBackToEnglish) {
  ScopedEnv german("LANGUAGE", "de_DE:fr");
  EXPECT_EQ(l10n::currentLanguage(), "de");
  EXPECT_EQ(NSLocalizedString("NewSpace"), "New Workspace");
  EXPECT_EQ(l10n::localizedString("NoSuchKey", "de"), "NoSuchKey");
}

TEST_F(LocalizationTest, ActiveLanguageFollowsTheLocaleVariablesInOrder) {
  EXPECT_EQ(l10n::currentLanguage(), "en");
  ScopedEnv lang("LANG", "fr_FR.UTF-8");
  EXPECT_EQ(l10n::currentLanguage(), "fr");
  ScopedEnv all("LC_ALL", "C");
  EXPECT_EQ(l10n::currentLanguage(), "en");
  ScopedEnv language("LANGUAGE", "pt_BR");
  EXPECT_EQ(l10n::currentLanguage(), "pt");
}

TEST_F(LocalizationTest, TablesAreBuiltInNotReadFromTheWorkingDirectory) {
  test::ScopedTempDir elsewhere;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(elsewhere.path());
  const auto text = NSLocalizedString("NewCustomLayout");
  std::filesystem::current_path(previous);
  EXPECT_EQ(text, "New Layout");
  const auto languages = l10n::availableLanguages();
  EXPECT_NE(std::find(languages.begin(), languages.end(), "en"), languages.end());
}

}  // namespace
}  // namespace tilvane
