#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "platform/l10n/Localization.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;

// Every key written as a literal in an NSLocalizedString call or an l10n::key marker under src/.
std::set<std::string> keysInSources() {
  static const std::regex call(R"((?:NSLocalizedString|l10n::key)\(\s*"([^"\\]*)\")");
  std::set<std::string> keys;
  for (const auto& entry : fs::recursive_directory_iterator(TILVANE_SOURCE_DIR)) {
    const auto extension = entry.path().extension();
    if (extension != ".cpp" && extension != ".h") continue;
    std::stringstream text;
    text << std::ifstream(entry.path()).rdbuf();
    const std::string source = text.str();
    for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) keys.insert((*it)[1]);
  }
  return keys;
}

TEST(LocalizationKeys, EveryKeyTheCodeUsesHasAnEnglishText) {
  const auto keys = keysInSources();
  // Both forms are found, or the scan itself is broken.
  ASSERT_TRUE(keys.count("CanNotOpen") && keys.count("DoNotLayout")) << keys.size() << " keys found";
  for (const auto& key : keys) EXPECT_TRUE(l10n::lookup(key, "en")) << "no English text for \"" << key << "\"";
}

TEST(Localization, ALanguageWithoutATableFallsBackToEnglishThenToTheKey) {
  ScopedEnv all("LC_ALL", std::nullopt), german("LANGUAGE", "de_DE:fr");
  EXPECT_EQ(l10n::currentLanguage(), "de");
  EXPECT_EQ(NSLocalizedString("NewSpace"), "New Workspace");
  EXPECT_EQ(l10n::lookup("NewSpace", "de"), std::nullopt);
  EXPECT_EQ(l10n::localizedString("NoSuchKey", "de"), "NoSuchKey");
}

}  // namespace
}  // namespace tilvane
