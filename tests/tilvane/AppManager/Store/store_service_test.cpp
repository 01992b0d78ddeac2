#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/ExtensionAppModel.h"
#include "Models/RuleLayoutModel.h"
#include "StoreTestSupport.h"
#include "platform/base/SharedInstance.h"
#include "platform/store/RawSql.h"
#include "support/AsNobody.h"

namespace tilvane::test {
namespace {

namespace fs = std::filesystem;
using store::Predicate;
using testing::HasSubstr;

std::shared_ptr<AutoLayoutModel> placement(const std::string& bundle, int windowIndex, int windowID) {
  auto model = std::make_shared<AutoLayoutModel>();
  model->setBundleIdentifier(bundle);
  model->setWindowIndex(windowIndex);
  model->setWindowID(windowID);
  model->makeId();
  return model;
}

std::vector<std::string> ids(const std::optional<std::vector<AutoLayoutModelPtr>>& found) {
  std::vector<std::string> result;
  for (const auto& m : found.value()) result.push_back(m->id());
  return result;
}

TEST_F(StoreServiceTest, ConfigurationPointsAtTheDataFolderAndIsLogged) {
  EXPECT_EQ(databaseFile(), tempDir() / "data" / "Tilvane" / "default.sqlite");
  store().configureRealm();
  EXPECT_EQ(log.lines(), std::vector<std::string>{"ℹ️ " + databaseFile().string()});
}

TEST_F(StoreServiceTest, PlacementQueriesTakeTheThreeFormsAndBindQuotes) {
  stored(placement("com.a", 0, 11));
  stored(placement("com.a", 1, 12));
  EXPECT_EQ(ids(store().autoLayoutModels(StoreService::idPredicate("com.a-1-1"))), std::vector<std::string>{"com.a-1-1"});
  EXPECT_EQ(ids(store().autoLayoutModels(Predicate::equals("bundleIdentifier", "com.a").andEquals("windowID", 11))),
            std::vector<std::string>{"com.a-0-1"});
  EXPECT_EQ(ids(store().autoLayoutModels(Predicate::equals("bundleIdentifier", "com.a"))),
            (std::vector<std::string>{"com.a-0-1", "com.a-1-1"}));
}

TEST_F(StoreServiceTest, DeletesRemoveOnlyTheObjectWithTheId) {
  auto a = stored(std::make_shared<CustomLayoutModel>());
  auto b = stored(std::make_shared<CustomLayoutModel>());
  auto rule = std::make_shared<RuleLayoutModel>();
  rule->setId("com.o'brien.app' OR '1'='1");
  RuleLayoutModel copy;  // only the id of the argument counts
  copy.setId(stored(rule)->id());
  store().deleteRule(copy);
  store().deleteCustomLayout(*a);
  store().deleteCustomLayout(CustomLayoutModel());
  store().deleteExtensionApp(*stored(std::make_shared<ExtensionAppModel>()));
  EXPECT_EQ(store().customLayouts(), std::vector<CustomLayoutModelPtr>{b});
  EXPECT_TRUE(a->isInvalidated());
  EXPECT_TRUE(store().extensionApps().empty());
  EXPECT_TRUE(store().rules().empty());
}

TEST_F(StoreServiceTest, UpdateLayoutStoresTheFirstRecordOfAnIdOnly) {
  auto first = placement("com.apple.Safari", 0, 1);
  store().updateLayout(first);
  auto second = placement("com.apple.Safari", 0, 2);
  store().updateLayout(second);
  const auto found = store().autoLayoutModels(StoreService::idPredicate("com.apple.Safari-0-1"));
  EXPECT_EQ(found, std::vector<AutoLayoutModelPtr>{first});
  EXPECT_FALSE(second->isManaged());
  ASSERT_EQ(log.count("update layout: "), 1u);
  EXPECT_TRUE(log.contains("update layout: AutoLayoutModel { id = com.apple.Safari-0-1; bundleIdentifier = "
                           "com.apple.Safari; windowID = 1;"));
}

// A record named twice in one batch (a window laid out twice in a turn) is stored once, in the order first named.
TEST_F(StoreServiceTest, ABatchStoresEachRecordOnceInTheOrderFirstNamed) {
  const auto c = placement("com.c", 0, 3), a = placement("com.a", 0, 1), b = placement("com.b", 0, 2);
  store().updateLayouts({c, a, c, b, a, nullptr, c});
  EXPECT_EQ(log.count("update layout: "), 3u);
  EXPECT_EQ(store::Database::open()->objects<AutoLayoutModel>(), (std::vector<AutoLayoutModelPtr>{c, a, b}));
  store().updateLayouts({a, b});
  EXPECT_EQ(log.count("update layout: "), 3u) << "stored already";
}

// The main thread's instance stays open between bursts of work (each opening checked the schema and locked and
// mapped files, each closing synced the log); another thread's goes with its last holder. A file removed
// meanwhile is found at the next write, and the write after that goes to a new file.
TEST_F(StoreServiceTest, TheMainThreadsDatabaseStaysOpenUntilItsFileIsRemoved) {
  const std::weak_ptr<store::Database> first = store().database();
  ASSERT_FALSE(first.expired()) << "nothing else holds it";
  EXPECT_EQ(store().database(), first.lock());
  std::weak_ptr<store::Database> otherThreads;
  std::thread([&] { otherThreads = store().database(); }).join();
  EXPECT_TRUE(otherThreads.expired());

  auto record = placement("com.apple.Safari", 0, 1);
  store().updateLayout(record);
  ASSERT_TRUE(record->isManaged());
  std::filesystem::remove(databaseFile());
  store().updateLayout(placement("com.apple.Safari", 1, 1));
  EXPECT_TRUE(log.contains("could not read or write its database")) << "said, not written where nobody reads";
  const auto fresh = store().database();
  EXPECT_NE(fresh, first.lock());
  store().updateLayout(placement("com.apple.Safari", 2, 1));
  const auto found = store().autoLayoutModels(StoreService::idPredicate("com.apple.Safari-2-1"));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(databaseFile()));
}

// Each is said once, in plain words naming the file; then nothing is remembered, nothing more is said, and the
// file keeps every byte (a newer program's above all).
TEST_F(StoreServiceTest, AnUnusableDatabaseIsSaidOnceAndTheProgramGoesOnWithoutIt) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    const char* words;
  } cases[] = {
      {"newer",
       [](const fs::path& f) { store::test::execSql(f, "CREATE TABLE RuleLayoutModel (id TEXT); PRAGMA user_version = 99"); },
       "a newer version"},
      {"unreachable", [](const fs::path& f) { fs::create_directories(f / "inside"); }, "cannot be opened"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SharedInstances::resetAll();
    store().configureRealm();
    fs::remove_all(databaseFile().parent_path());
    fs::create_directories(databaseFile().parent_path());
    c.make(databaseFile());
    const std::string before = fs::is_regular_file(databaseFile()) ? readFile(databaseFile()) : "";
    log.clear();

    EXPECT_TRUE(store().workspaces().empty());
    EXPECT_TRUE(store().rules().empty());
    EXPECT_EQ(store().autoLayoutModels(StoreService::idPredicate("a")), std::nullopt);
    const auto model = placement("com.x", 0, 1);
    store().updateLayout(model);
    store().deleteCustomLayout(CustomLayoutModel());
    store().setupFirstRun();
    EXPECT_FALSE(model->isManaged());
    EXPECT_EQ(store().database(), nullptr);
    const auto lines = log.lines();
    ASSERT_EQ(log.count("🔴 "), 1u) << testing::PrintToString(lines);
    EXPECT_EQ(log.count("⚠️ "), 0u);
    const std::string said = *std::find_if(lines.begin(), lines.end(), [](auto& l) { return l.find("🔴") == 0; });
    EXPECT_THAT(said, HasSubstr(databaseFile().string() + "\": "));
    EXPECT_THAT(said, HasSubstr(c.words));
    EXPECT_THAT(said, HasSubstr("window positions are not remembered"));
    EXPECT_EQ(fs::is_regular_file(databaseFile()) ? readFile(databaseFile()) : "", before);
    EXPECT_EQ(std::distance(fs::directory_iterator(databaseFile().parent_path()), {}), 1);  // nothing beside it
  }
}

TEST_F(StoreServiceTest, AReadOnlyDatabaseStillGivesItsPlacementsSaysSoOnceAndIsNeverChanged) {
  stored(placement("com.a", 0, 11));
  // As an older version left it: without the lookup index, which a read-only file cannot gain.
  store::test::execSql(databaseFile(), "DROP INDEX \"AutoLayoutModel.bundleIdentifier\"");
  for (const bool folder : {true, false}) {
    SCOPED_TRACE(folder ? "read-only folder" : "read-only file");
    const auto locked = folder ? databaseFile().parent_path() : databaseFile();
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::remove);
    const std::string before = readFile(databaseFile());
    const int code = runAsNobody(tempDir(), [&] {
      log.clear();
      if (ids(store().autoLayoutModels(StoreService::idPredicate("com.a-0-1"))).size() != 1) return 1;
      store().updateLayout(placement("com.b", 0, 1));
      if (!ids(store().autoLayoutModels(Predicate::equals("bundleIdentifier", "com.b"))).empty()) return 2;
      const bool saidOnce = log.count("⚠️ ") == 1 && log.count("🔴 ") == 0;
      return saidOnce && log.contains("⚠️ Tilvane's database \"" + databaseFile().string() + "\" is read-only: "
                                      "remembered window positions are applied, but new ones are not saved.") ? 0 : 3;
    });
    fs::permissions(locked, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(code, 0) << "1: the placement was not read, 2: a placement was stored, 3: not said once";
    EXPECT_EQ(readFile(databaseFile()), before);
  }
}

}  // namespace
}  // namespace tilvane::test
