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
    execSql(file(),
            "CREATE TABLE OldNote (id TEXT, words TEXT, n INTEGER);"
            "INSERT INTO OldNote VALUES ('a', 'alpha', 1), ('b', NULL, 2), ('c', 'gamma', NULL);"
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

TEST_F(MigrationTest, BlockConvertsOldObjectsAndRemovesTheOldClass) {
  makeOldFile();
  std::vector<std::uint64_t> calls;
  auto db = Database::open(version2([&](Migration& m, std::uint64_t old) {
    calls.push_back(old);
    m.enumerateObjects("NeverExisted", [&](const DynamicObject&) { ADD_FAILURE(); });
    m.enumerateObjects("OldNote", [&](const DynamicObject& o) {
      // Values are read only with a type they have: text is not an integer, NULL is nothing.
      EXPECT_EQ(o.intValue("words"), std::nullopt);
      EXPECT_EQ(o.value("missing"), std::nullopt);
      ValueDictionary values{{"id", *o.value("id")}};
      if (auto words = o.stringValue("words")) values["text"] = *words;
      if (auto n = o.realValue("n")) values["count"] = static_cast<std::int64_t>(*n);
      m.create("Note", values);
    });
    m.deleteData("OldNote");
  }));
  EXPECT_EQ(calls, std::vector<std::uint64_t>{1});
  EXPECT_EQ(db->schemaVersion(), 2u);
  const auto notes = db->objects<Note>();
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0]->text(), "alpha");
  EXPECT_EQ(notes[0]->count(), 1);
  EXPECT_EQ(notes[1]->text(), "untitled");  // absent old value: the default
  EXPECT_EQ(notes[2]->count(), 7);
  EXPECT_EQ(querySql(file(), "SELECT count(*) FROM sqlite_master WHERE name = 'OldNote'"), "0");
}

TEST_F(MigrationTest, NoBlockForAFreshFileOrOneAtTheCurrentVersion) {
  const auto never = [](Migration&, std::uint64_t) { ADD_FAILURE(); };
  { Database::open(version2(never)); }  // fresh file: nothing to migrate
  { Database::open(version2(never)); }  // now at version 2
}

TEST_F(MigrationTest, AFailingBlockLeavesTheFileAsItWas) {
  const std::pair<const char*, MigrationBlock> failing[] = {
      {"primary key taken",
       [](Migration& m, std::uint64_t) {
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
