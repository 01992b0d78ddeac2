#include <gtest/gtest.h>

#include <thread>

#include "platform/store/Database.h"
#include "platform/store/RawSql.h"
#include "platform/store/TestModels.h"
#include "support/TestEnvironment.h"

namespace tilvane::store::test {
namespace {

class DatabaseTest : public ::testing::Test {
 protected:
  std::shared_ptr<Database> open() { return Database::open(notesConfiguration(file())); }
  std::filesystem::path file() const { return temp_.path() / "notes.sqlite"; }

  std::shared_ptr<Note> storedNote(const std::shared_ptr<Database>& db, std::string id, std::string text) {
    auto note = std::make_shared<Note>();
    note->setId(std::move(id));
    note->setText(std::move(text));
    db->write([&] { db->add(note); });
    return note;
  }

 private:
  tilvane::test::ScopedTempDir temp_;
};

// ---- objects and values ----

TEST_F(DatabaseTest, StoredValuesAndDefaultsSurviveReopening) {
  {
    auto db = open();
    auto changed = std::make_shared<Note>();
    changed->setId("changed");
    changed->setText("hello");
    changed->setCount(-42);
    changed->setWeight(0.125);
    db->write([&] {
      db->add(changed);
      db->add(std::make_shared<Note>());
    });
  }
  auto db = open();  // nothing held the first instance: a new connection and identity map
  const auto notes = db->objects<Note>();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0]->description(), "Note { id = changed; text = hello; count = -42; weight = 0.125 }");
  EXPECT_EQ(notes[1]->text(), "untitled");
  EXPECT_EQ(notes[1]->count(), 7);
  EXPECT_EQ(notes[1]->weight(), 0.5);
}

TEST_F(DatabaseTest, OneThreadSeesOneObjectPerStoredRow) {
  auto db = open();
  auto note = storedNote(db, "n1", "first");
  EXPECT_EQ(Database::open(notesConfiguration(file())), db);
  EXPECT_EQ(db->object<Note>("n1"), note);
  EXPECT_EQ(db->objects<Note>().front(), note);
  db->write([&] { db->object<Note>("n1")->setText("second"); });
  EXPECT_EQ(note->text(), "second");
}

TEST_F(DatabaseTest, MisuseIsAProgrammingErrorAndChangesNothing) {
  auto db = open();
  auto note = storedNote(db, "n1", "kept");
  EXPECT_THROW(note->setText("lost"), LogicError);  // outside a write
  EXPECT_THROW(db->remove(note), LogicError);
  EXPECT_THROW(db->commitWrite(), LogicError);
  db->beginWrite();
  EXPECT_THROW(db->beginWrite(), LogicError);
  EXPECT_THROW(note->setId("n2"), LogicError);  // the primary key is fixed once stored
  EXPECT_THROW(db->remove(std::make_shared<Note>()), LogicError);
  db->cancelWrite();
  db->refresh();
  EXPECT_EQ(note->description(), "Note { id = n1; text = kept; count = 7; weight = 0.5 }");
}

// ---- transactions ----

TEST_F(DatabaseTest, CancelledWriteRestoresValuesDeletionsAndForgetsAdditions) {
  auto db = open();
  auto kept = storedNote(db, "kept", "before");
  auto removed = storedNote(db, "removed", "x");
  auto added = std::make_shared<Note>();
  db->beginWrite();
  kept->setText("during");
  db->remove(removed);
  db->add(added);
  EXPECT_TRUE(removed->isInvalidated());
  db->cancelWrite();

  EXPECT_EQ(kept->text(), "before");
  EXPECT_FALSE(removed->isInvalidated());
  EXPECT_EQ(db->object<Note>("removed"), removed);
  EXPECT_TRUE(added->isInvalidated());
  EXPECT_EQ(db->count<Note>(), 2u);
}

TEST_F(DatabaseTest, AThrowingBodyOrAnAbandonedTransactionIsRolledBack) {
  {
    auto db = open();
    auto note = storedNote(db, "n1", "kept");
    EXPECT_THROW(db->write([&] {
      db->add(std::make_shared<Note>());
      throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_FALSE(db->isInWriteTransaction());
    db->beginWrite();
    note->setText("abandoned");
    db->add(std::make_shared<Note>());
  }  // no commit, no cancel: the last handle and object go
  auto db = open();
  ASSERT_EQ(db->count<Note>(), 1u);
  EXPECT_EQ(db->object<Note>("n1")->text(), "kept");
}

TEST_F(DatabaseTest, ObserversHearEachCommitButNoCancel) {
  auto db = open();
  std::vector<std::set<std::string>> heard;
  auto subscription = db->changes().subscribe([&](const ChangeNotification& n) { heard.push_back(n.classNames); });
  storedNote(db, "n1", "x");
  db->beginWrite();
  db->add(std::make_shared<Note>());
  db->cancelWrite();
  db->write([&] { db->add(std::make_shared<Notebook>()); });
  subscription.dispose();
  EXPECT_EQ(heard, (std::vector<std::set<std::string>>{{"Note"}, {"Notebook"}}));
}

TEST_F(DatabaseTest, AWriteGroupCommitsItsWritesTogetherAndOthersSeeThemOnlyThen) {
  auto db = open();
  std::vector<std::set<std::string>> heard;
  auto subscription = db->changes().subscribe([&](const ChangeNotification& n) { heard.push_back(n.classNames); });
  db->beginWriteGroup();
  EXPECT_THROW(db->beginWriteGroup(), LogicError);
  const auto one = storedNote(db, "a", "one");
  EXPECT_THROW(db->write([&] {
    one->setText("cancelled");
    db->remove(one);
    db->add(std::make_shared<Note>());
    throw std::runtime_error("stop");
  }),
               std::runtime_error);
  EXPECT_EQ(one->text(), "one") << "a cancelled write undoes itself only";
  EXPECT_FALSE(one->isInvalidated());
  auto book = std::make_shared<Notebook>();
  db->write([&] { db->add(book); });
  EXPECT_EQ(querySql(file(), "SELECT count(*) FROM Note"), "0");
  EXPECT_TRUE(heard.empty());
  db->beginWrite();
  EXPECT_THROW(db->commitWriteGroup(), LogicError);
  db->cancelWrite();
  db->commitWriteGroup();
  EXPECT_FALSE(db->isInWriteGroup());
  EXPECT_EQ(querySql(file(), "SELECT group_concat(text) FROM Note"), "one");
  EXPECT_EQ(heard, (std::vector<std::set<std::string>>{{"Note", "Notebook"}}));
}

TEST_F(DatabaseTest, AGroupStillOpenWhenTheInstanceGoesIsCommitted) {
  {
    auto db = open();
    db->beginWriteGroup();
    storedNote(db, "a", "one");
  }
  EXPECT_EQ(querySql(file(), "SELECT text FROM Note"), "one");
}

// ---- add, update, delete ----

TEST_F(DatabaseTest, AddingATakenPrimaryKeyFailsUnlessUpdating) {
  auto db = open();
  auto original = storedNote(db, "n1", "original");
  storedNote(db, "n2", "second");
  auto duplicate = unmanagedCopy(*original);
  duplicate->setText("copy");
  EXPECT_EQ(original->text(), "original");
  db->beginWrite();
  EXPECT_THROW(db->add(duplicate), Error);
  db->cancelWrite();
  EXPECT_EQ(original->text(), "original");

  db->write([&] { db->add(duplicate, UpdatePolicy::all); });
  EXPECT_EQ(original->text(), "copy");  // the live object follows the replaced row
  db->write([&] { duplicate->setCount(1); });
  EXPECT_EQ(original->count(), 1);
  EXPECT_EQ(db->objects<Note>()[0]->id(), "n1");  // replaced in place, not moved to the end
}

TEST_F(DatabaseTest, DeletedObjectIsInvalidatedAndLeavesEveryList) {
  auto db = open();
  auto book = std::make_shared<Notebook>();
  auto a = std::make_shared<Note>();
  auto b = std::make_shared<Note>();
  book->notes().append(a);
  book->notes().append(b);
  db->write([&] { db->add(book); });
  db->write([&] {
    db->remove(a);
    db->remove(a);  // twice is harmless
  });
  EXPECT_TRUE(a->isInvalidated());
  EXPECT_EQ(db->object<Note>(a->id()), nullptr);
  EXPECT_EQ(book->notes().toVector(), std::vector<std::shared_ptr<Note>>{b});
  EXPECT_THROW(db->write([&] { a->setText("ghost"); }), LogicError);

  db->write([&] { book->notes().remove(0); });  // out of the list, still stored
  EXPECT_EQ(db->object<Note>(b->id()), b);
  EXPECT_THROW(book->notes().at(0), std::out_of_range);
  EXPECT_THROW(book->notes().append(std::make_shared<Note>()), LogicError);  // outside a write
}

// ---- lists ----

TEST_F(DatabaseTest, ListsKeepTheirOrderAcrossReopening) {
  std::vector<std::string> ids;
  {
    auto db = open();
    auto book = std::make_shared<Notebook>();
    book->setId("book");
    for (int i = 0; i < 5; ++i) {
      auto note = std::make_shared<Note>();
      ids.push_back(note->id());
      book->notes().append(note);
    }
    db->write([&] { db->add(book); });
    // A later insert of a note stored before must land at the end, not by row order.
    db->write([&] {
      book->notes().remove(0);
      book->notes().append(db->object<Note>(ids[0]));
    });
  }
  std::rotate(ids.begin(), ids.begin() + 1, ids.end());
  auto db = open();
  std::vector<std::string> read;
  for (const auto& n : db->object<Notebook>("book")->notes().toVector()) read.push_back(n->id());
  EXPECT_EQ(read, ids);
  EXPECT_EQ(db->count<Note>(), 5u);
}

TEST_F(DatabaseTest, AddingWithUpdateReplacesTheStoredList) {
  auto db = open();
  auto book = std::make_shared<Notebook>();
  book->setId("book");
  book->notes().append(std::make_shared<Note>());
  db->write([&] { db->add(book); });
  auto replacement = std::make_shared<Notebook>();
  replacement->setId("book");
  auto only = std::make_shared<Note>();
  replacement->notes().append(only);
  db->write([&] { db->add(replacement, UpdatePolicy::all); });
  EXPECT_EQ(book->notes().toVector(), std::vector<std::shared_ptr<Note>>{only});
  EXPECT_EQ(book->description(), "Notebook { id = book; title = ; notes = [" + only->id() + "] }");
}

// ---- queries ----

TEST_F(DatabaseTest, ValuesWithQuotesAreBoundAndConditionsAreJoined) {
  auto db = open();
  const std::string tricky = R"(it's "quoted" \ and ' OR 1=1 --)";
  auto found = storedNote(db, tricky, "same");
  auto other = storedNote(db, "plain", "same");
  db->write([&] { other->setCount(3); });
  EXPECT_EQ(db->objects<Note>(Predicate::equals("id", tricky)), std::vector<std::shared_ptr<Note>>{found});
  EXPECT_EQ(db->objects<Note>(Predicate::parse("id = " + quoteText(tricky))), std::vector<std::shared_ptr<Note>>{found});
  EXPECT_EQ(db->objects<Note>(Predicate::parse("text = 'same' AND count = 3")),
            std::vector<std::shared_ptr<Note>>{other});
  EXPECT_THROW(db->objects<Note>(Predicate::equals("colour", "red")), QueryError);
  EXPECT_THROW(db->objects<Note>(Predicate::equals("count", "three")), QueryError);
  EXPECT_THROW(db->objects<Notebook>(Predicate::equals("notes", "x")), QueryError);
}

// ---- files and threads ----

TEST_F(DatabaseTest, AnOlderTableGainsTheMissingColumnsWithTheirDefaults) {
  // "Note" as an older version of the program made it: no "weight".
  execSql(file(), "CREATE TABLE Note (id TEXT, text TEXT, count INTEGER); INSERT INTO Note VALUES ('old', 'kept', 3);"
                  "PRAGMA user_version = 1;");
  auto db = open();
  auto note = db->object<Note>("old");
  ASSERT_TRUE(note);
  EXPECT_EQ(note->text(), "kept");
  EXPECT_EQ(note->weight(), 0.5);
  db->write([&] { note->setWeight(0.25); });
  EXPECT_EQ(querySql(file(), "SELECT weight FROM Note"), "0.25");
}

TEST_F(DatabaseTest, AFileWithoutAnIndexGainsItOnOpen) {
  storedNote(open(), "n1", "kept");
  execSql(file(), "DROP INDEX \"Note.text\"");
  auto db = open();
  EXPECT_EQ(querySql(file(), "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'Note.text'"), "1");
  EXPECT_EQ(db->objects<Note>(Predicate::equals("text", "kept")).size(), 1u);
}

TEST_F(DatabaseTest, AnInstanceBelongsToItsThread) {
  auto db = open();
  auto note = storedNote(db, "n1", "main");
  bool threw = false;
  std::thread([&] {
    try {
      db->objects<Note>();
    } catch (const LogicError&) {
      threw = true;
    }
    auto other = Database::open(notesConfiguration(file()));
    other->write([&] { other->object<Note>("n1")->setText("from the other thread"); });
  }).join();
  EXPECT_TRUE(threw);
  EXPECT_EQ(note->text(), "main");
  db->objects<Note>();  // a read brings live objects up to date
  EXPECT_EQ(note->text(), "from the other thread");
}

}  // namespace
}  // namespace tilvane::store::test
