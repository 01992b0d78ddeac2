#include "platform/store/Database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/store/RawSql.h"
#include "platform/store/TestModels.h"
#include "platform/store/detail/Sql.h"
#include "support/TestEnvironment.h"

namespace tilvane::store::test {
namespace {

using Notes = std::vector<std::shared_ptr<Note>>;

// A text bound without a copy must outlive the statement's run: a temporary is refused when compiling.
template <class T>
concept BindsUncopied = requires(detail::Statement& s, T&& v) {
  s.bindUncopied(1, std::forward<T>(v));
};
static_assert(BindsUncopied<const std::string&> && BindsUncopied<const Value&>);
static_assert(!BindsUncopied<std::string> && !BindsUncopied<Value>, "a temporary would dangle");
static_assert(!BindsUncopied<const char*>, "made into a temporary on the way");
using Heard = std::vector<std::set<std::string>>;

std::shared_ptr<Note> note(std::string id, std::string text = "untitled") {
  auto n = std::make_shared<Note>();
  n->setId(std::move(id));
  n->setText(std::move(text));
  return n;
}

class DatabaseTest : public ::testing::Test {
 protected:
  std::shared_ptr<Database> open() { return Database::open(notesConfiguration(file())); }
  std::filesystem::path file() const { return temp_.path() / "notes.sqlite"; }
  std::shared_ptr<Note> stored(const std::shared_ptr<Database>& db, std::string id, std::string text = "x") {
    auto n = note(std::move(id), std::move(text));
    db->write([&] { db->add(n); });
    return n;
  }
  // Records the classes of every change notification of `db`.
  void listen(const std::shared_ptr<Database>& db) {
    db->changes().subscribe([this](const ChangeNotification& n) { heard.push_back(n.classNames); });
  }

  Heard heard;

 private:
  tilvane::test::ScopedTempDir temp_;
};

TEST_F(DatabaseTest, StoredValuesAndDefaultsSurviveReopeningAndOneRowIsOneObject) {
  {
    auto db = open();
    auto changed = note("changed", "hello");
    changed->setCount(-42);
    changed->setWeight(0.125);
    db->write([&] {
      db->add(changed);
      db->add(std::make_shared<Note>());
    });
    EXPECT_EQ(Database::open(notesConfiguration(file())), db);
    EXPECT_EQ(db->object<Note>("changed"), changed);
  }
  auto db = open();  // nothing held the first instance: a new connection and identity map
  const auto notes = db->objects<Note>();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0]->description(), "Note { id = changed; text = hello; count = -42; weight = 0.125 }");
  EXPECT_EQ(notes[1]->description(), "Note { id = " + notes[1]->id() + "; text = untitled; count = 7; weight = 0.5 }");
  EXPECT_THROW(notes[0]->setText("lost"), LogicError);  // outside a write
  db->write([&] { db->object<Note>("changed")->setText("second"); });
  EXPECT_EQ(notes[0]->text(), "second");
}

TEST_F(DatabaseTest, CancelledWriteRestoresValuesAndDeletionsForgetsAdditionsAndIsNotHeard) {
  auto db = open();
  auto kept = stored(db, "kept", "before");
  auto removed = stored(db, "removed");
  auto added = std::make_shared<Note>();
  listen(db);
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
  db->write([&] { db->add(std::make_shared<Notebook>()); });
  EXPECT_EQ(heard, (Heard{{"Notebook"}}));
}

TEST_F(DatabaseTest, AThrowingBodyOrAnAbandonedTransactionIsRolledBack) {
  {
    auto db = open();
    auto kept = stored(db, "n1", "kept");
    EXPECT_THROW(db->write([&] {
      db->add(std::make_shared<Note>());
      throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_FALSE(db->isInWriteTransaction());
    db->beginWrite();
    kept->setText("abandoned");
    db->add(std::make_shared<Note>());
  }  // no commit, no cancel: the last handle and object go
  auto db = open();
  ASSERT_EQ(db->count<Note>(), 1u);
  EXPECT_EQ(db->object<Note>("n1")->text(), "kept");
}

TEST_F(DatabaseTest, AWriteGroupCommitsItsWritesTogetherAndOthersSeeThemOnlyThen) {
  auto db = open();
  listen(db);
  db->beginWriteGroup();
  auto one = stored(db, "a", "one");
  EXPECT_THROW(db->write([&] {
    one->setText("cancelled");
    db->remove(one);
    db->add(std::make_shared<Note>());
    throw std::runtime_error("stop");
  }),
               std::runtime_error);
  EXPECT_EQ(one->text(), "one") << "a cancelled write undoes itself only";
  EXPECT_FALSE(one->isInvalidated());
  db->write([&] { db->add(std::make_shared<Notebook>()); });
  EXPECT_EQ(querySql(file(), "SELECT count(*) FROM Note"), "0");
  EXPECT_TRUE(heard.empty());
  db->commitWriteGroup();
  EXPECT_FALSE(db->isInWriteGroup());
  EXPECT_EQ(querySql(file(), "SELECT group_concat(text) FROM Note"), "one");
  EXPECT_EQ(heard, (Heard{{"Note", "Notebook"}}));

  db->beginWriteGroup();
  stored(db, "b", "two");
  one.reset();
  db.reset();  // a group still open when the instance goes is committed
  EXPECT_EQ(querySql(file(), "SELECT group_concat(text) FROM Note"), "one,two");
}

TEST_F(DatabaseTest, RowsComingOrGoingAreCountedPerClassAndOtherConnectionsCommitsToo) {
  auto db = open();
  const auto count = [&] { return db->rowsComeOrGone("Note"); };
  const std::uint64_t start = count();
  auto kept = stored(db, "a");
  EXPECT_EQ(count(), start + 1);
  db->write([&] { kept->setText("changed in place"); });
  db->write([&] { db->add(std::make_shared<Notebook>()); });
  EXPECT_EQ(count(), start + 1) << "a changed value or another class's row is no row of this class coming";
  db->write([&] { db->remove(kept); });
  EXPECT_EQ(count(), start + 2);
  // A commit of another thread's connection may have added or deleted anything.
  std::thread([&] {
    auto other = open();
    other->write([&] { other->add(note("b")); });
  }).join();
  EXPECT_GT(count(), start + 2);
}

TEST_F(DatabaseTest, AddingATakenPrimaryKeyFailsUnlessUpdatingWhichReplacesValuesAndListsInPlace) {
  auto db = open();
  auto book = std::make_shared<Notebook>();
  book->setId("book");
  book->notes().append(note("old"));
  db->write([&] {
    db->add(book);
    db->add(std::make_shared<Notebook>());
  });
  auto copy = std::make_shared<Notebook>();
  copy->setId("book");
  copy->setTitle("copy");
  copy->notes().append(note("new"));
  db->beginWrite();
  EXPECT_THROW(db->add(copy), Error);
  db->cancelWrite();
  EXPECT_EQ(book->title(), "");

  db->write([&] { db->add(copy, UpdatePolicy::all); });
  EXPECT_EQ(book->description(), "Notebook { id = book; title = copy; notes = [new] }");  // live object follows
  db->write([&] { copy->setTitle("shared"); });
  EXPECT_EQ(book->title(), "shared");
  EXPECT_EQ(db->objects<Notebook>()[0], book);  // replaced in place, not moved to the end
}

// addNew is add() for records that may have been stored meanwhile: a taken key is no error and changes nothing,
// with or without lists; add() still refuses it.
TEST_F(DatabaseTest, AddingNewSkipsATakenPrimaryKeyQuietlyAndAddStillRefusesIt) {
  auto db = open();
  stored(db, "taken", "first");
  auto book = std::make_shared<Notebook>();
  book->setId("book");
  book->notes().append(note("kept"));
  db->write([&] { db->add(book); });

  auto again = note("taken", "second");
  auto fresh = note("fresh");
  auto copy = std::make_shared<Notebook>();
  copy->setId("book");
  copy->notes().append(note("other"));
  db->write([&] {
    EXPECT_FALSE(db->addNew(again));
    EXPECT_FALSE(db->addNew(copy));
    EXPECT_TRUE(db->addNew(fresh));
    EXPECT_TRUE(db->addNew(fresh)) << "managed by this instance already";
  });
  EXPECT_FALSE(again->isManaged());
  EXPECT_FALSE(copy->isManaged());
  EXPECT_TRUE(fresh->isManaged());
  db->beginWrite();
  EXPECT_THROW(db->add(note("taken", "third")), Error);
  db->cancelWrite();

  const auto reopened = open();
  EXPECT_EQ(reopened->object<Note>("taken")->text(), "first");
  EXPECT_EQ(book->description(), "Notebook { id = book; title = ; notes = [kept] }");
  EXPECT_EQ(reopened->objects<Note>().size(), 3u) << "the refused notebook's note is not stored either";
}

// Many new objects at once answer as one by one would: a key stored already (even in the middle of a run that
// goes to the file in one statement), a key twice, an object managed already, another class in between.
TEST_F(DatabaseTest, AddingManyNewAnswersForEachAsOneByOneWould) {
  auto db = open();
  stored(db, "n7", "kept");
  const auto managed = stored(db, "managed");
  std::vector<std::shared_ptr<Object>> batch;
  for (int i = 0; i < 30; ++i) batch.push_back(note("n" + std::to_string(i), "new"));
  batch.insert(batch.begin() + 20, note("n3", "again"));  // the same key as an earlier one of the batch
  batch.insert(batch.begin() + 25, managed);
  auto book = std::make_shared<Notebook>();
  book->setId("book");
  book->notes().append(note("listed"));
  batch.insert(batch.begin() + 26, book);

  std::vector<bool> added;
  db->write([&] { added = db->addNew(batch); });
  ASSERT_EQ(added.size(), batch.size());
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const auto* n = dynamic_cast<const Note*>(batch[i].get());
    const bool refused = n && ((n->id() == "n7" && n->text() == "new") || n->text() == "again");
    EXPECT_EQ(added[i], !refused) << i;
    EXPECT_EQ(batch[i]->isManaged(), !refused) << i;
  }
  const auto reopened = open();
  EXPECT_EQ(reopened->object<Note>("n7")->text(), "kept");
  EXPECT_EQ(reopened->object<Note>("n3")->text(), "new");
  EXPECT_EQ(reopened->objects<Note>().size(), 32u) << "n0 to n29, managed, and the notebook's note";
  EXPECT_EQ(book->description(), "Notebook { id = book; title = ; notes = [listed] }");

  // A longer run goes by larger statements; a key stored already inside one skips that row alone.
  stored(db, "m5", "kept");
  std::vector<std::shared_ptr<Object>> longer;
  for (int i = 0; i < 45; ++i) longer.push_back(note("m" + std::to_string(i), "new"));
  db->write([&] { added = db->addNew(longer); });
  for (std::size_t i = 0; i < longer.size(); ++i) {
    EXPECT_EQ(added[i], i != 5) << i;
    EXPECT_EQ(longer[i]->isManaged(), i != 5) << i;
  }
  EXPECT_EQ(open()->object<Note>("m5")->text(), "kept");
  EXPECT_EQ(open()->objects<Note>().size(), 32u + 45u);
}

// Database::open() keeps the default's instance for the next call, and lets it go when another default is set.
TEST_F(DatabaseTest, OpeningTheDefaultFollowsEachNewDefault) {
  Configuration::setDefaultConfiguration(notesConfiguration(file()));
  const auto first = Database::open();
  EXPECT_EQ(Database::open(), first);
  const auto other = file().parent_path() / "other.sqlite";
  Configuration::setDefaultConfiguration(notesConfiguration(other));
  const auto second = Database::open();
  EXPECT_EQ(second->configuration().fileURL, other);
  Configuration::resetDefaultConfiguration();
  EXPECT_NE(Database::open(), second) << "the plain default's file, not the last one set";
}

// An instance held open while its file is removed, or another file is put in its place, refuses the next write
// instead of writing where nobody reads; opening again gives a new instance on the file now there.
TEST_F(DatabaseTest, AFileRemovedOrReplacedWhileOpenIsFoundAtTheNextWrite) {
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "removed");
    const auto held = open();
    const auto kept = stored(held, "kept");
    std::filesystem::remove(file());
    if (replaced) stored(Database::open(notesConfiguration(file().parent_path() / "fresh.sqlite")), "other");
    if (replaced) std::filesystem::rename(file().parent_path() / "fresh.sqlite", file());
    try {
      held->write([&] { kept->setText("lost"); });
      ADD_FAILURE() << "the write went to the removed file";
    } catch (const Error& e) {
      EXPECT_EQ(e.failure(), Failure::cannotOpen);
    }
    EXPECT_TRUE(held->isDetached());
    EXPECT_EQ(kept->text(), "x");
    EXPECT_THROW(held->write([&] { held->add(note("later")); }), Error) << "refused from then on";

    const auto fresh = open();
    ASSERT_NE(fresh, held);
    EXPECT_FALSE(fresh->isDetached());
    stored(fresh, "new");
    EXPECT_NE(fresh->object<Note>("new"), nullptr);
    if (!replaced) {
      EXPECT_EQ(fresh->objects<Note>().size(), 1u) << "a new file";
    }
    std::filesystem::remove(file());
  }
}

TEST_F(DatabaseTest, ListsKeepTheirOrderAcrossReopeningAndADeletedObjectLeavesThem) {
  {
    auto db = open();
    auto book = std::make_shared<Notebook>();
    book->setId("book");
    for (const char* id : {"n0", "n1", "n2", "n3", "n4"}) book->notes().append(note(id));
    db->write([&] { db->add(book); });
    const auto n1 = db->object<Note>("n1");
    const auto n2 = db->object<Note>("n2");
    db->write([&] {
      // A later insert of a note stored before must land at the end, not by row order.
      book->notes().remove(0);
      book->notes().append(db->object<Note>("n0"));
      book->notes().remove(0);  // n1 leaves the list, still stored
      db->remove(n2);
      db->remove(n2);  // twice is harmless
    });
    EXPECT_EQ(db->object<Note>("n1"), n1);
    EXPECT_TRUE(n2->isInvalidated());
    EXPECT_EQ(db->object<Note>("n2"), nullptr);
    EXPECT_THROW(db->write([&] { n2->setText("ghost"); }), LogicError);
  }
  auto db = open();
  std::string read;
  for (const auto& n : db->object<Notebook>("book")->notes().toVector()) read += n->id();
  EXPECT_EQ(read, "n3n4n0");
  EXPECT_EQ(db->count<Note>(), 4u);
}

TEST_F(DatabaseTest, ValuesWithQuotesAreBoundAndConditionsAreJoined) {
  auto db = open();
  const std::string tricky = R"(it's "quoted" \ and ' OR 1=1 --)";
  auto found = stored(db, tricky, "same");
  auto other = stored(db, "plain", "same");
  db->write([&] { other->setCount(3); });
  EXPECT_EQ(db->objects<Note>(Predicate::equals("id", tricky)), Notes{found});
  EXPECT_EQ(db->objects<Note>(Predicate::equals("text", "same").andEquals("count", 3)), Notes{other});
  EXPECT_THROW(db->objects<Note>(Predicate::equals("colour", "red")), QueryError);
  EXPECT_THROW(db->objects<Note>(Predicate::equals("count", "three")), QueryError);
  EXPECT_THROW(db->objects<Notebook>(Predicate::equals("notes", "x")), QueryError);
}

TEST_F(DatabaseTest, AnOlderTableGainsTheMissingColumnsWithTheirDefaults) {
  // "Note" as an older version of the program made it: no "weight".
  execSql(file(), "CREATE TABLE Note (id TEXT, text TEXT, count INTEGER); INSERT INTO Note VALUES ('old', 'kept', 3);"
                  "PRAGMA user_version = 1;");
  auto db = open();
  auto old = db->object<Note>("old");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->description(), "Note { id = old; text = kept; count = 3; weight = 0.5 }");
  db->write([&] { old->setWeight(0.25); });
  EXPECT_EQ(querySql(file(), "SELECT weight FROM Note"), "0.25");
}

TEST_F(DatabaseTest, AFileWithoutAnIndexGainsItOnOpen) {
  stored(open(), "n1", "kept");
  execSql(file(), "DROP INDEX \"Note.text\"");
  auto db = open();
  EXPECT_EQ(querySql(file(), "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'Note.text'"), "1");
  EXPECT_EQ(db->objects<Note>(Predicate::equals("text", "kept")).size(), 1u);
}

TEST_F(DatabaseTest, AnInstanceBelongsToItsThread) {
  auto db = open();
  auto note = stored(db, "n1", "main");
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


TEST_F(DatabaseTest, RemovingTheOldestKeepsTheNewestInOrderAndInvalidatesLiveOnes) {
  auto db = open();
  std::vector<std::shared_ptr<Note>> held;
  for (int i = 0; i < 10; ++i) held.push_back(stored(db, "n" + std::to_string(i)));
  listen(db);
  std::size_t removed = 0;
  db->write([&] { removed = db->removeOldest(Note::schema(), 4); });
  EXPECT_EQ(removed, 6u);
  const auto left = db->objects<Note>();
  ASSERT_EQ(left.size(), 4u);
  EXPECT_EQ(left.front()->id(), "n6");
  EXPECT_EQ(left.back()->id(), "n9");
  EXPECT_TRUE(held[5]->isInvalidated());
  EXPECT_FALSE(held[6]->isInvalidated());
  EXPECT_EQ(heard, (Heard{{"Note"}}));
  db->write([&] { EXPECT_EQ(db->removeOldest(Note::schema(), 4), 0u); });
  EXPECT_EQ(heard.back(), std::set<std::string>{}) << "nothing removed, nothing changed";
  EXPECT_THROW(db->removeOldest(Note::schema(), 1), LogicError) << "outside a write";
  EXPECT_THROW(db->write([&] { db->removeOldest(Notebook::schema(), 1); }), LogicError) << "a class with lists";
}

// Another connection holding the write lock: a write waits no longer than the configuration says, then fails
// as busy and leaves everything as it was.
TEST_F(DatabaseTest, AWriteGivesUpOnAHeldLockAfterTheConfiguredWait) {
  auto configuration = notesConfiguration(file());
  configuration.busyTimeout = 0.005;
  auto db = Database::open(configuration);
  const auto kept = stored(db, "kept", "before");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(file().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  try {
    db->write([&] { kept->setText("after"); });
    ADD_FAILURE() << "the write went through a held lock";
  } catch (const Error& e) {
    EXPECT_EQ(e.failure(), Failure::busy) << e.what();
  }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
  EXPECT_EQ(kept->text(), "before");
  EXPECT_EQ(db->objects<Note>().size(), 1u) << "reads go on while another program writes";
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  db->write([&] { kept->setText("after"); });
  EXPECT_EQ(querySql(file(), "SELECT text FROM Note"), "after");
}

}  // namespace
}  // namespace tilvane::store::test
