#include <gtest/gtest.h>

#include "platform/store/Database.h"
#include "platform/store/Migration.h"
#include "platform/store/RawSql.h"
#include "platform/store/TestModels.h"
#include "support/TestEnvironment.h"

namespace tilvane::store::test {
namespace {

class MigrationTest : public ::testing::Test {
 protected:
  std::filesystem::path file() const { return temp_.path() / "old.sqlite"; }

  // A version-1 file with a class that the current schema no longer has.
  void makeOldFile() {
    execSql(file(), "CREATE TABLE OldNote (id TEXT); INSERT INTO OldNote VALUES ('a'), ('b'), ('c');"
                    "PRAGMA user_version = 1;");
  }

  Configuration version2(MigrationBlock block) {
    auto c = notesConfiguration(file(), 2);
    c.migrationBlock = std::move(block);
    return c;
  }

 private:
  tilvane::test::ScopedTempDir temp_;
};

TEST_F(MigrationTest, NoBlockForAFreshFileOrOneAtTheCurrentVersion) {
  const auto never = [](Migration&, std::uint64_t) { ADD_FAILURE(); };
  { Database::open(version2(never)); }  // fresh file: nothing to migrate
  { Database::open(version2(never)); }  // now at version 2
}

TEST_F(MigrationTest, AFailingBlockLeavesTheFileAsItWas) {
  const std::pair<const char*, MigrationBlock> failing[] = {
      {"primary key taken",
       [](Migration& m, std::uint64_t) {
         m.deleteData("OldNote");
         m.create("Note", {{"id", std::string("x")}});
         m.create("Note", {{"id", std::string("x")}});
       }},
      {"unknown class", [](Migration& m, std::uint64_t) { m.create("Nothing", {}); }},
  };
  makeOldFile();
  for (const auto& [name, block] : failing) {
    SCOPED_TRACE(name);
    EXPECT_ANY_THROW(Database::open(version2(block)));
    EXPECT_EQ(querySql(file(), "PRAGMA user_version"), "1");
    EXPECT_EQ(querySql(file(), "SELECT count(*) FROM OldNote"), "3");
    EXPECT_EQ(querySql(file(), "SELECT count(*) FROM sqlite_master WHERE name = 'Note'"), "0");
  }
}

}  // namespace
}  // namespace tilvane::store::test
