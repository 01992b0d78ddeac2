#include <gtest/gtest.h>

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ModelSchemas.h"
#include "Models/RuleLayoutModel.h"
#include "StoreTestSupport.h"
#include "platform/store/RawSql.h"

namespace tilvane::test {
namespace {

using store::test::execSql;
using store::test::querySql;

class StoreMigrationTest : public StoreServiceTest {
 protected:
  // A file as the version-2 program left it: the old classes as plain tables.
  void makeVersion2File() {
    std::filesystem::create_directories(databaseFile().parent_path());
    execSql(databaseFile(),
            "CREATE TABLE LayoutModel (id TEXT, bundleIdentifier TEXT, windowID INTEGER, spaceCount INTEGER,"
            " screenCount INTEGER, x INTEGER, y INTEGER, width INTEGER, height INTEGER);"
            "INSERT INTO LayoutModel VALUES"
            " ('L1', 'com.a', 11, 3, 1, 5000000, 6000000, 95000000, 95000001),"
            " ('L2', 'com.a', 12, 1, 1, 50000000, 5999999, 50000000, 100000000),"
            " ('L3', 'com.a', 13, 1, 2, 0, 0, 100000000, 100000000),"
            " ('L4', NULL, 14, 1, 1, 0, 0, 1, 1),"
            " ('L5', 'com.a', 15, 1, 1, 0, 0, NULL, 1),"
            " ('L6', 'com.a', NULL, NULL, 1, 0, 0, 1, 1);"
            "CREATE TABLE AppRuleModel (id TEXT, type INTEGER, matrixValue INTEGER, width INTEGER, height INTEGER);"
            "INSERT INTO AppRuleModel VALUES ('com.rule', 2, 255, 3, 2), ('com.partial', 1, NULL, NULL, NULL);"
            "CREATE TABLE LayoutRuleModel (id TEXT, name TEXT, type INTEGER, matrixValue INTEGER, width INTEGER,"
            " height INTEGER, keyCode INTEGER, modifierFlags INTEGER);"
            "INSERT INTO LayoutRuleModel VALUES ('C1', 'Left', 1, 15, 4, 4, 123, 1048576);"
            "PRAGMA user_version = 2;");
  }

  std::int64_t now() const { return static_cast<std::int64_t>(dispatch::MainQueue::clock().now()); }
};

TEST_F(StoreMigrationTest, Version2DataBecomesTheVersion3Models) {
  makeVersion2File();
  loop().advance(100);
  const auto models = store().autoLayoutModels(store::Predicate::equals("bundleIdentifier", "com.a"));

  EXPECT_EQ(log.count("start migration"), 1u);
  ASSERT_EQ(log.count("migration skips LayoutModel"), 2u);
  EXPECT_TRUE(log.contains("⚠️ migration skips LayoutModel L4: no bundleIdentifier"));
  EXPECT_TRUE(log.contains("⚠️ migration skips LayoutModel L5: no width"));
  EXPECT_EQ(querySql(databaseFile(), "PRAGMA user_version"), "3");
  EXPECT_EQ(querySql(databaseFile(), "SELECT count(*) FROM sqlite_master WHERE name IN "
                                     "('LayoutModel', 'AppRuleModel', 'LayoutRuleModel')"),
            "0");

  // Fractions below 0.06 become 0 and above 0.95 become 1; the window index counts per bundle and display count;
  // a missing windowID or spaceCount keeps its default; the old id stays.
  const auto t = std::to_string(now());
  std::vector<std::string> descriptions;
  for (const auto& model : models.value()) descriptions.push_back(model->description());
  const std::string common = "bundleIdentifier = com.a; ";
  EXPECT_EQ(descriptions,
            (std::vector<std::string>{
                "AutoLayoutModel { id = L1; " + common + "windowID = 11; windowIndex = 0; spaceIndex = -1; spaceCount = 3; "
                "screenIndex = -1; screenCount = 1; x = 0; y = 0.06; width = 0.95; height = 1; updateAt = " + t + "; gutter = 0 }",
                "AutoLayoutModel { id = L2; " + common + "windowID = 12; windowIndex = 1; spaceIndex = -1; spaceCount = 1; "
                "screenIndex = -1; screenCount = 1; x = 0.5; y = 0; width = 0.5; height = 1; updateAt = " + t + "; gutter = 0 }",
                "AutoLayoutModel { id = L3; " + common + "windowID = 13; windowIndex = 0; spaceIndex = -1; spaceCount = 1; "
                "screenIndex = -1; screenCount = 2; x = 0; y = 0; width = 1; height = 1; updateAt = " + t + "; gutter = 0 }",
                "AutoLayoutModel { id = L6; " + common + "windowID = 0; windowIndex = 2; spaceIndex = -1; spaceCount = 1; "
                "screenIndex = -1; screenCount = 1; x = 0; y = 0; width = 1e-08; height = 1e-08; updateAt = " + t + "; gutter = 0 }"}));
}

TEST_F(StoreMigrationTest, RulesAndCustomLayoutsKeepTheirIdsAndValues) {
  makeVersion2File();
  auto rules = store().rules();
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules[0]->description(), "RuleLayoutModel { id = com.rule; type = 2; matrixValue = 255; width = 3; height = 2 }");
  EXPECT_EQ(rules[1]->description(),
            "RuleLayoutModel { id = com.partial; type = 1; matrixValue = 65535; width = 4; height = 4 }");
  auto layouts = store().customLayouts();
  ASSERT_EQ(layouts.size(), 1u);
  EXPECT_EQ(layouts[0]->description(),
            "CustomLayoutModel { id = C1; name = Left; type = 1; matrixValue = 15; width = 4; height = 4; "
            "keyCode = 123; modifierFlags = 1048576 }");

  // A new instance (nothing of the first is alive) on the file that is at version 3 now: no second migration.
  rules.clear();
  layouts.clear();
  log.clear();
  EXPECT_EQ(store().rules().size(), 2u);
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace tilvane::test
