// Versions compared as numbers, and the update feed read as untrusted text.
#include <gtest/gtest.h>

#include <string>

#include "platform/updater/Appcast.h"
#include "platform/updater/Versions.h"

namespace tilvane::updates {
namespace {

std::string item(const std::string& version, const std::string& notes = "https://tilvane.app/releases/x",
                 const std::string& download = "https://tilvane.app/download/x.tar.xz") {
  return "<item><title>Tilvane " + version + "</title><version>" + version + "</version><releaseNotesLink>" + notes +
         "</releaseNotesLink><enclosure url=\"" + download + "\" type=\"application/x-xz\"/></item>";
}
std::string feed(const std::string& items) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>Tilvane</title>" + items +
         "</channel></rss>";
}

TEST(VersionsTest, CompareAsNumbersPartByPart) {
  EXPECT_EQ(compareVersions("1.10", "1.9"), 1) << "not as text";
  EXPECT_EQ(compareVersions("1.2", "1.2.0"), 0);
  EXPECT_EQ(compareVersions("1.2", "1.2.1"), -1);
  EXPECT_EQ(compareVersions("01.002", "1.2"), 0);
  EXPECT_EQ(compareVersions("2", "10"), -1);
  EXPECT_EQ(compareVersions("999999999999999999", "999999999999999998"), 1) << "no overflow at 18 digits";
  for (const char* bad : {"", "1.", ".1", "1..2", "1.2a", "v1.2", "-1", "1 .2", "1234567890123456789"}) {
    EXPECT_EQ(compareVersions(bad, "1"), std::nullopt) << bad;
    EXPECT_FALSE(isNumericVersion(bad)) << bad;
  }
}

TEST(AppcastTest, ReadsItemsAndFindsTheNewest) {
  const Appcast appcast = parseAppcast(feed(item("1.9") + item("1.10", "https://tilvane.app/releases/1.10") + item("1.2")));
  ASSERT_EQ(appcast.error, "");
  ASSERT_EQ(appcast.items.size(), 3u);
  const AppcastItem* newest = newestItem(appcast);
  ASSERT_NE(newest, nullptr);
  EXPECT_EQ(newest->version, "1.10");
  EXPECT_EQ(newest->title, "Tilvane 1.10");
  EXPECT_EQ(newest->releaseNotesLink, "https://tilvane.app/releases/1.10");
  EXPECT_EQ(newest->downloadLink, "https://tilvane.app/download/x.tar.xz");
}

TEST(AppcastTest, LeavesOutWronglyTypedItemsAndKeepsTheRest) {
  const Appcast appcast = parseAppcast(feed(item("one point two") + item("2.0", "javascript:alert(1)") +
                                            item("3.0", "https://a.example/", "file:///etc/passwd") + item("1.4")));
  ASSERT_EQ(appcast.error, "");
  ASSERT_EQ(appcast.items.size(), 1u);
  EXPECT_EQ(appcast.items[0].version, "1.4");
}

TEST(AppcastTest, BadFeedsAreErrorsWithAReason) {
  const std::string good = feed(item("1.4"));
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"not XML", "{\"version\": \"9.9\"}"},
      {"HTML", "<html><body>Not found</body></html>"},
      {"truncated", good.substr(0, good.size() / 2)},
      {"cut before the root's end", good.substr(0, good.size() - 6)},
      {"a document type", "<!DOCTYPE rss [<!ENTITY a \"aaaa\">]>" + good.substr(good.find("<rss"))},
      {"markup in a field", feed("<item><version><b>9</b></version></item>")},
      {"no valid version", feed(item("latest"))},
      {"no item", feed("")},
      {"garbage after the root", good + "<rss/>"},
  };
  for (const auto& c : cases) {
    const Appcast appcast = parseAppcast(c.text);
    EXPECT_FALSE(appcast.error.empty()) << c.what;
    EXPECT_TRUE(appcast.items.empty()) << c.what;
  }
}

TEST(AppcastTest, ADeepOrWideFeedIsReadWithoutTrouble) {
  std::string deep = feed(item("1.0"));
  std::string open;
  std::string close;
  for (int i = 0; i < 20000; ++i) {
    open += "<d>";
    close += "</d>";
  }
  deep.insert(deep.find("<item>"), open + close);
  EXPECT_EQ(parseAppcast(deep).items.size(), 1u);
  std::string wide;
  for (int i = 0; i < 3000; ++i) wide += item("1." + std::to_string(i));
  EXPECT_EQ(parseAppcast(feed(wide)).items.size(), 1000u) << "items beyond the first thousand are not kept";
}

}  // namespace
}  // namespace tilvane::updates
