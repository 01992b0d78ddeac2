// Files the store cannot use, or may only read.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/store/Database.h"
#include "platform/store/RawSql.h"
#include "platform/store/TestModels.h"
#include "support/AsNobody.h"
#include "support/TestEnvironment.h"

namespace tilvane::store::test {
namespace {

namespace fs = std::filesystem;
using tilvane::test::readFile;

class StoreFileTest : public ::testing::Test {
 protected:
  fs::path file() const { return temp_.path() / "db" / "notes.sqlite"; }

  tilvane::test::ScopedTempDir temp_;
};

std::optional<Failure> openingFailure(const fs::path& file) {
  try {
    Database::open(notesConfiguration(file));
  } catch (const Error& e) {
    return e.failure();
  }
  return std::nullopt;
}

TEST_F(StoreFileTest, UnusableFilesAreRefusedWithTheirReason) {
  const struct {
    const char* name;
    std::function<void(const fs::path&)> make;
    Failure failure;
  } cases[] = {
      {"folder is a plain file", [](const fs::path& f) { std::ofstream(f.parent_path()) << "x"; }, Failure::cannotOpen},
      {"not a database",
       [](const fs::path& f) {
         fs::create_directories(f.parent_path());
         std::ofstream(f) << std::string(4096, 'x');
       },
       Failure::damaged},
      {"newer version",
       [](const fs::path& f) {
         fs::create_directories(f.parent_path());
         execSql(f, "PRAGMA user_version = 9");
       },
       Failure::newerVersion},
  };
  for (const auto& c : cases) {
    const fs::path f = temp_.path() / c.name / "db" / "notes.sqlite";
    fs::create_directories(f.parent_path().parent_path());
    c.make(f);
    EXPECT_EQ(openingFailure(f), c.failure) << c.name;
  }
}

TEST_F(StoreFileTest, AFileOfANewerVersionKeepsEveryByte) {
  fs::create_directories(file().parent_path());
  execSql(file(), "CREATE TABLE Note (id TEXT); INSERT INTO Note VALUES ('kept'); PRAGMA user_version = 9;");
  const std::string before = readFile(file());
  EXPECT_EQ(openingFailure(file()), Failure::newerVersion);
  EXPECT_EQ(readFile(file()), before);
}

TEST_F(StoreFileTest, AFileThatMayNotBeWrittenIsReadButNeverChanged) {
  for (const bool folderReadOnly : {true, false}) {
    SCOPED_TRACE(folderReadOnly ? "read-only folder" : "read-only file");
    fs::remove_all(file().parent_path());
    {
      auto db = Database::open(notesConfiguration(file()));
      auto note = std::make_shared<Note>();
      note->setId("kept");
      db->write([&] { db->add(note); });
    }
    execSql(file(), "DROP INDEX \"Note.text\"");  // as an older version left it: read without the index
    fs::permissions(folderReadOnly ? file().parent_path() : file(), fs::perms::owner_write, fs::perm_options::remove);
    const std::string before = readFile(file());
    const int code = tilvane::test::runAsNobody(temp_.path(), [&] {
      auto db = Database::open(notesConfiguration(file()));
      if (!db->isReadOnly()) return 1;
      if (!db->object<Note>("kept") || db->count<Note>() != 1) return 2;
      try {
        db->beginWrite();
        return 3;
      } catch (const Error& e) {
        return e.failure() == Failure::readOnly ? 0 : 4;
      }
    });
    EXPECT_EQ(code, 0) << "1: opened for writing, 2: the note was not read, 3: a write began, 4: another failure";
    EXPECT_EQ(readFile(file()), before);
    fs::permissions(file().parent_path(), fs::perms::owner_write, fs::perm_options::add);
  }
}

}  // namespace
}  // namespace tilvane::store::test
