#include <gtest/gtest.h>

#include <fstream>

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ExtensionAppModel.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "StoreTestSupport.h"

namespace tilvane::test {
namespace {

using store::Predicate;

template <class T>
std::shared_ptr<T> stored(std::shared_ptr<T> object) {
  auto db = store::Database::open();
  db->write([&] { StoreService::shared().addUpdating(*db, object); });
  return object;
}

std::shared_ptr<AutoLayoutModel> placement(const std::string& bundle, int windowIndex, int windowID) {
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier(bundle);
  model->setWindowIndex(windowIndex);
  model->setWindowID(windowID);
  model->makeId();
  return model;
}

TEST_F(StoreServiceTest, ConfigurationPointsAtTheDataFolderAndIsLogged) {
  store().configureRealm();
  const auto configuration = store::Configuration::defaultConfiguration();
  EXPECT_EQ(configuration.fileURL, tempDir() / "data" / "Tilvane" / "default.sqlite");
  EXPECT_EQ(configuration.schemaVersion, 3u);
  EXPECT_EQ(configuration.objectTypes.size(), 7u);
  EXPECT_EQ(log.count(configuration.fileURL.string()), 1u);
  EXPECT_EQ(store::Database::open()->schemaVersion(), 3u);
}

TEST_F(StoreServiceTest, AnEmptyDatabaseHasEmptyLists) {
  EXPECT_TRUE(store().workspaces().empty());
  EXPECT_TRUE(store().customLayouts().empty());
  EXPECT_TRUE(store().rules().empty());
  EXPECT_TRUE(store().extensionApps().empty());
  EXPECT_EQ(store().autoLayoutModels(Predicate::equals("bundleIdentifier", "x")), std::vector<AutoLayoutModelPtr>{});
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(StoreServiceTest, ListsLogAndComeBackEmptyWhenTheDatabaseCannotBeOpened) {
  std::ofstream(tempDir() / "blocker") << "a file where a folder should be";
  auto configuration = store::Configuration::defaultConfiguration();
  configuration.fileURL = tempDir() / "blocker" / "db.sqlite";
  store::Configuration::setDefaultConfiguration(configuration);

  EXPECT_TRUE(store().workspaces().empty());
  EXPECT_TRUE(store().rules().empty());
  EXPECT_EQ(store().autoLayoutModels(StoreService::idPredicate("a")), std::nullopt);
  EXPECT_EQ(log.count("🔴 "), 3u);
}

TEST_F(StoreServiceTest, AddUpdatingReplacesByPrimaryKey) {
  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId("com.apple.Safari");
  rule->setType(1);
  stored(rule);
  auto edited = store::unmanagedCopy(*rule);
  edited->setType(2);
  stored(edited);
  const auto rules = store().rules();
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0]->type(), 2);
}

TEST_F(StoreServiceTest, PlacementQueriesTakeTheThreeForms) {
  stored(placement("com.a", 0, 11));
  stored(placement("com.a", 1, 12));
  stored(placement("com.b", 0, 11));
  auto ids = [](const std::optional<std::vector<AutoLayoutModelPtr>>& found) {
    std::vector<std::string> result;
    for (const auto& m : found.value()) result.push_back(m->id());
    return result;
  };
  EXPECT_EQ(ids(store().autoLayoutModels(StoreService::idPredicate("com.a-1-1"))), std::vector<std::string>{"com.a-1-1"});
  EXPECT_EQ(ids(store().autoLayoutModels(Predicate::equals("bundleIdentifier", "com.a").andEquals("windowID", 11))),
            std::vector<std::string>{"com.a-0-1"});
  EXPECT_EQ(ids(store().autoLayoutModels(Predicate::equals("bundleIdentifier", "com.a"))),
            (std::vector<std::string>{"com.a-0-1", "com.a-1-1"}));
}

TEST_F(StoreServiceTest, AnIdWithAQuoteIsStoredFoundAndDeleted) {
  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId("com.o'brien.app' OR '1'='1");
  stored(rule);
  auto other = std::make_shared<RuleLayoutModel>();
  other->setId("com.other");
  stored(other);
  stored(placement("it's", 0, 1));

  EXPECT_EQ(store().autoLayoutModels(StoreService::idPredicate("it's-0-1"))->size(), 1u);
  RuleLayoutModel copy;
  copy.setId(rule->id());
  store().deleteRule(copy);
  const auto rules = store().rules();
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(rules[0]->id(), "com.other");
}

TEST_F(StoreServiceTest, DeletesRemoveOnlyTheObjectWithTheId) {
  auto a = stored(std::make_shared<CustomLayoutModel>());
  auto b = stored(std::make_shared<CustomLayoutModel>());
  auto app = stored(std::make_shared<ExtensionAppModel>());
  store().deleteCustomLayout(*a);
  store().deleteExtensionApp(*app);
  ASSERT_EQ(store().customLayouts().size(), 1u);
  EXPECT_EQ(store().customLayouts()[0], b);
  EXPECT_TRUE(a->isInvalidated());
  EXPECT_TRUE(store().extensionApps().empty());

  CustomLayoutModel unknown;
  store().deleteCustomLayout(unknown);
  EXPECT_EQ(store().customLayouts().size(), 1u);
}

TEST_F(StoreServiceTest, UpdateLayoutStoresTheFirstRecordOfAnIdOnly) {
  auto first = placement("com.apple.Safari", 0, 1);
  first->setX(0.25);
  store().updateLayout(first);
  auto second = placement("com.apple.Safari", 0, 2);
  second->setX(0.75);
  store().updateLayout(second);

  const auto found = store().autoLayoutModels(StoreService::idPredicate("com.apple.Safari-0-1"));
  ASSERT_EQ(found->size(), 1u);
  EXPECT_EQ(found->front()->x(), 0.25);
  EXPECT_EQ(found->front(), first);
  EXPECT_FALSE(second->isManaged());
  ASSERT_EQ(log.count("update layout: "), 1u);
  EXPECT_TRUE(log.contains("update layout: AutoLayoutModel { id = com.apple.Safari-0-1; bundleIdentifier = "
                           "com.apple.Safari; windowID = 1;"));
}

TEST_F(StoreServiceTest, UpdateLayoutWithAnUnopenableDatabaseStoresNothingAndLogsAnError) {
  std::ofstream(tempDir() / "blocker") << "x";
  const auto good = store::Configuration::defaultConfiguration();
  auto bad = good;
  bad.fileURL = tempDir() / "blocker" / "db.sqlite";
  store::Configuration::setDefaultConfiguration(bad);
  auto model = placement("com.x", 0, 1);
  store().updateLayout(model);
  EXPECT_FALSE(model->isManaged());
  EXPECT_GE(log.count("🔴 "), 1u);
  EXPECT_EQ(log.count("update layout: "), 0u);

  store::Configuration::setDefaultConfiguration(good);
  EXPECT_EQ(store::Database::open()->count<AutoLayoutModel>(), 0u);
}

}  // namespace
}  // namespace tilvane::test
