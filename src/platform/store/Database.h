#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/rx/Observable.h"
#include "platform/rx/PublishSubject.h"
#include "platform/store/Configuration.h"
#include "platform/store/Object.h"
#include "platform/store/Predicate.h"
#include "platform/store/StoreError.h"

namespace tilvane::store {

class Migration;
namespace detail {
class Connection;
class Statement;
}

/// What add() does when an object with the same primary key is stored already.
enum class UpdatePolicy {
  error,  ///< throw Error, store nothing
  all,    ///< replace every stored value (and list) with the new object's
};

/// Sent after each commit of a write transaction on the instance that committed it.
struct ChangeNotification {
  /// The classes whose objects or lists the transaction changed.
  std::set<std::string> classNames;
};

/// One thread's open database file: the stand-in for an embedded object database instance, on SQLite.
///
/// - Opening is cheap to repeat: on one thread, every open of one file returns the same instance while any
///   handle or managed object of it lives, so a stored object read twice on one thread is one object.
/// - Reads (objects, object, count, list contents) see every committed write, also those of other threads and
///   processes; live objects of the instance are brought up to date at each open, read and beginWrite.
/// - Changes happen inside a write transaction (beginWrite … commitWrite, or write()), which takes the file's
///   write lock; a commit is atomic and survives the process being killed (not a power loss: the log is
///   synced at checkpoints, not at each commit), and a crash or cancelWrite leaves the last committed state.
///   A write group lets several write transactions share one commit.
/// - An instance and its objects belong to the thread that opened it: use from another thread throws.
///
/// Each class is a table named after it, in insertion order; list properties are link tables
/// "<Class>.<property>"; the schema version is the file's user_version. Writes go straight to the file within
/// the transaction, so a query inside a transaction sees its own changes.
class Database : public std::enable_shared_from_this<Database> {
 public:
  /// This thread's instance for the configuration's file, opened (and migrated) if needed; read-only when the
  /// file or its folder may not be written. Throws Error when the file cannot be opened, is newer than the
  /// configuration (it is then left byte for byte as it was), or its migration fails.
  static std::shared_ptr<Database> open(const Configuration& configuration);
  /// open() with the default configuration.
  static std::shared_ptr<Database> open();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const Configuration& configuration() const { return configuration_; }
  /// Whether the file was opened read-only (it, or its folder, may not be written): reads work, beginWrite
  /// throws Error with Failure::readOnly.
  bool isReadOnly() const { return readOnly_; }
  /// Whether a write found the file removed or replaced since the opening: open() then makes a new instance,
  /// and this one refuses writes, which would go to a file nobody reads.
  bool isDetached() const { return detached_; }
  /// The schema version stored in the file.
  std::uint64_t schemaVersion();

  // Reads, in the table's order (the order of first insertion).

  template <class T>
  std::vector<std::shared_ptr<T>> objects() {
    return cast<T>(objects(T::schema(), nullptr));
  }
  template <class T>
  std::vector<std::shared_ptr<T>> objects(const Predicate& predicate) {
    return cast<T>(objects(T::schema(), &predicate));
  }
  /// The stored object with this primary key, or null.
  template <class T>
  std::shared_ptr<T> object(std::string_view primaryKey) {
    return std::static_pointer_cast<T>(object(T::schema(), primaryKey));
  }
  template <class T>
  std::size_t count() {
    return count(T::schema(), nullptr);
  }

  std::vector<std::shared_ptr<Object>> objects(const ObjectSchema& schema, const Predicate* predicate);
  std::shared_ptr<Object> object(const ObjectSchema& schema, std::string_view primaryKey);
  std::size_t count(const ObjectSchema& schema, const Predicate* predicate);

  // Writes.

  /// Starts a write transaction, waiting for other writers. Throws LogicError when one is open already.
  void beginWrite();
  /// Makes the transaction's changes durable and notifies observers (inside a write group: at the group's
  /// commit). On failure the changes are rolled back and Error is thrown.
  void commitWrite();
  /// Drops the transaction's changes: managed objects show their stored values again, objects stored in it
  /// become invalidated, objects deleted in it come back.
  void cancelWrite();
  bool isInWriteTransaction() const { return inWrite_; }
  /// Write transactions begun on this instance so far (those inside a group too): what a batch of writes saves.
  std::uint64_t writesBegun() const { return writesBegun_; }

  /// Opens a write group: the write transactions that follow on this instance share one SQLite transaction
  /// (each commitWrite ends a savepoint; a cancelWrite rolls back its own transaction only) until
  /// commitWriteGroup commits them together, with one change notification for all. Until then other
  /// connections see none of them, and a crash loses them all. Throws LogicError inside a write transaction or
  /// group, Error when the file's write lock cannot be had.
  void beginWriteGroup();
  /// Commits the open group. On failure everything written in the group is rolled back (live objects show the
  /// stored values again) and Error is thrown. Throws LogicError without a group or inside a write transaction.
  void commitWriteGroup();
  bool isInWriteGroup() const { return inGroup_; }

  /// Runs `body` in a write transaction and commits it; when `body` throws, cancels and rethrows.
  template <class F>
  void write(F&& body) {
    beginWrite();
    try {
      body();
    } catch (...) {
      if (inWrite_) cancelWrite();
      throw;
    }
    if (inWrite_) commitWrite();
  }

  /// Stores an unmanaged object (and the unmanaged objects of its lists, with the same policy); it becomes
  /// managed. An object already managed by this instance is left alone. With UpdatePolicy::all a stored
  /// object with the same primary key is replaced in place (it keeps its position) and its live accessors
  /// show the new values.
  void add(const std::shared_ptr<Object>& object, UpdatePolicy policy = UpdatePolicy::error);
  /// add() with UpdatePolicy::error, except that a primary key stored already is no error: false, nothing is
  /// stored and the object stays unmanaged. True when stored (or managed by this instance already).
  bool addNew(const std::shared_ptr<Object>& object);
  /// addNew for each object, in order; what each answered. Objects of a class without lists go to the file a
  /// few rows to a statement.
  std::vector<bool> addNew(const std::vector<std::shared_ptr<Object>>& objects);
  /// Deletes a managed object; references to it disappear from every list. Deleting a deleted object does
  /// nothing.
  void remove(const std::shared_ptr<Object>& object);
  template <class T>
  void remove(const std::vector<std::shared_ptr<T>>& objects) {
    for (const auto& o : objects) remove(std::static_pointer_cast<Object>(o));
  }
  /// Deletes the oldest objects of a class (in insertion order) so that at most `keep` remain; returns how
  /// many went. For classes without lists that no list holds (logs); live objects of the deleted rows become
  /// invalidated. Throws LogicError outside a write transaction or for a class with lists.
  std::size_t removeOldest(const ObjectSchema& schema, std::size_t keep);

  /// Commits of this instance, delivered synchronously on its thread after each commit.
  rx::Observable<ChangeNotification> changes() const { return changes_.asObservable(); }

  /// Brings every live object up to date with commits made elsewhere (also done by every read).
  void refresh();
  /// A count that grows whenever rows of the class are added or deleted on this instance, or commits made
  /// elsewhere are picked up (which may have done either); new commits are looked for first. What a cache of
  /// query results compares to know that rows may have come or gone behind its back.
  std::uint64_t rowsComeOrGone(const std::string& className);

 private:
  friend class Object;
  friend class Migration;
  friend class detail::ListRef;

  struct Private {};

 public:
  /// Use open().
  Database(Private, Configuration configuration, std::unique_ptr<detail::Connection> connection);

 private:
  template <class T>
  static std::vector<std::shared_ptr<T>> cast(std::vector<std::shared_ptr<Object>> objects) {
    std::vector<std::shared_ptr<T>> result;
    result.reserve(objects.size());
    for (auto& o : objects) result.push_back(std::static_pointer_cast<T>(std::move(o)));
    return result;
  }

  void prepare();
  void checkThread() const;
  void checkWrite(const char* operation) const;
  bool tableComplete(const ObjectSchema& schema);
  void ensureTable(const ObjectSchema& schema);
  const ObjectSchema* knownSchema(std::string_view className) const;
  std::string selectColumns(const ObjectSchema& schema, std::string_view tableAlias = {}) const;
  std::shared_ptr<Object> materialize(const ObjectSchema& schema, detail::Statement& row, int firstColumn);
  void reload(detail::Row& row);
  void refreshIfChanged();
  bool dataVersionChanged();
  void restoreAfterRollback(std::vector<std::weak_ptr<detail::Row>> deleted);
  bool rowExists(const ObjectSchema& schema, const std::string& primaryKey);
  bool addObject(const std::shared_ptr<Object>& object, UpdatePolicy policy, bool quietWhenTaken);
  /// The object's row was just stored under `key`: the object becomes managed (sharing a live row of that key).
  void adoptStored(const std::shared_ptr<Object>& object, const std::string& key);
  using LiveRows = std::unordered_map<std::string, std::weak_ptr<detail::Row>>;
  /// adoptStored for a batch: `live` is the class's live rows; noteRowsAdded has counted the row.
  void adoptStored(const std::shared_ptr<Object>& object, const std::string& key, LiveRows& live);
  /// Makes the object's row this instance's, presented by the object alone.
  void ownRow(const std::shared_ptr<Object>& object);
  /// `count` rows of the class were just added.
  void noteRowsAdded(const ObjectSchema& schema, std::size_t count);
  /// Stores the objects at `rows` (2 to kMaxRowsPerInsert unmanaged ones of one class without lists, no key
  /// twice) by one statement, skipping those whose key is stored already; marks in `stored` those it stored.
  void insertRows(const ObjectSchema& schema, const std::vector<std::shared_ptr<Object>>& objects,
                  const std::vector<std::size_t>& rows, std::vector<bool>& stored);
  /// Rows per statement of a batch of new objects at most: most of a statement's own cost is shared up to
  /// about eight rows, and longer statements cost more per row again.
  static constexpr std::size_t kMaxRowsPerInsert = 8;
  /// Returns false when `onlyNew` and a row with that key was stored already (nothing is written then).
  bool writeRow(const ObjectSchema& schema, const std::vector<Value>& values, bool onlyNew = false);
  std::shared_ptr<detail::Row> liveRow(const ObjectSchema& schema, const std::string& primaryKey);
  void registerRow(const std::shared_ptr<detail::Row>& row);
  /// Drops the expired entries of the live rows now and then.
  void sweepSoon();
  void forgetRow(const detail::Row& row);
  std::vector<std::shared_ptr<detail::Row>> liveRows();

  // Used by Object and ListRef on managed rows.
  void setValue(detail::Row& row, std::size_t property, Value value);
  std::size_t listSize(const detail::Row& row, std::size_t property);
  std::shared_ptr<Object> listAt(const detail::Row& row, std::size_t property, std::size_t index);
  std::vector<std::shared_ptr<Object>> listSnapshot(const detail::Row& row, std::size_t property);
  void listAppend(detail::Row& row, std::size_t property, const std::shared_ptr<Object>& element,
                  UpdatePolicy policy = UpdatePolicy::error);
  void listRemove(detail::Row& row, std::size_t property, std::size_t index);
  void listClear(detail::Row& row, std::size_t property);
  std::string linkTable(const ObjectSchema& owner, std::size_t property) const;

  Configuration configuration_;
  std::unique_ptr<detail::Connection> connection_;
  std::thread::id thread_;
  /// Class name → schema, for every class whose table this instance made sure of.
  std::map<std::string, const ObjectSchema*, std::less<>> schemas_;
  /// SQL text made once per class: the column list of a row read (plain and with the alias "t.") and the
  /// statement that writes a row.
  struct SchemaSql {
    const ObjectSchema* schema = nullptr;
    std::string columns, aliasedColumns, upsert;
    std::string insertNew;  ///< stores nothing when the key is taken
    /// By number of rows, made when first needed: skip the rows whose key is taken.
    mutable std::array<std::string, kMaxRowsPerInsert + 1> insertNewRows;
    std::string keysInRowidRange;
    int boundColumns = 0;  ///< columns of a row, lists left out
    std::string exists;
    /// By property: the statement that changes that one column of a row (empty for lists and the key).
    std::vector<std::string> updateColumn;
    bool hasLists = false;
  };
  mutable std::map<std::string, SchemaSql, std::less<>> sql_;
  const SchemaSql& sqlOf(const ObjectSchema& schema) const;
  /// Class name → primary key → the row's shared values (the identity map).
  std::map<std::string, LiveRows, std::less<>> rows_;
  std::size_t registrationsSinceSweep_ = 0;
  bool inWrite_ = false;
  bool readOnly_ = false;
  bool detached_ = false;
  std::set<std::string> changedClasses_;
  /// Rows deleted in the open transaction, to bring back if it is cancelled (weak: only rows someone still
  /// presents matter, and a strong reference would keep this instance alive through the row's owner).
  std::vector<std::weak_ptr<detail::Row>> deletedInWrite_;
  std::int64_t dataVersion_ = 0;
  std::uint64_t refreshes_ = 0;
  std::uint64_t writesBegun_ = 0;
  std::unordered_map<std::string, std::uint64_t> rowsComeOrGone_;
  bool inGroup_ = false;
  /// Whether a write transaction was committed inside the open group, the classes it changed and the rows it
  /// deleted (brought back if the group fails).
  bool groupWritten_ = false;
  std::set<std::string> groupChangedClasses_;
  std::vector<std::weak_ptr<detail::Row>> deletedInGroup_;
  rx::PublishSubject<ChangeNotification> changes_;
};

}  // namespace tilvane::store
