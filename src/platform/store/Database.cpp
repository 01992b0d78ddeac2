#include "platform/store/Database.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <stdexcept>
#include <unordered_set>

#include "platform/store/Migration.h"
#include "platform/store/detail/Row.h"
#include "platform/store/detail/Sql.h"

namespace tilvane::store {
namespace {

using detail::quoteIdentifier;
using detail::Row;

// This thread's open instances by file, so that one thread sees one instance (and one object per row).
std::map<std::string, std::weak_ptr<Database>>& instances() {
  static thread_local std::map<std::string, std::weak_ptr<Database>> map;
  return map;
}

// The same, by the absolute name a caller gave (which may differ from the resolved one).
std::map<std::string, std::weak_ptr<Database>>& openedNames() {
  static thread_local std::map<std::string, std::weak_ptr<Database>> map;
  return map;
}

const char* sqlType(PropertyType type) {
  switch (type) {
    case PropertyType::integer:
      return "INTEGER";
    case PropertyType::real:
      return "REAL";
    default:
      return "TEXT";
  }
}

std::int64_t asInt(const Value& v) {
  const auto* i = std::get_if<std::int64_t>(&v);
  return i ? *i : 0;
}

bool comparable(const Value& value, PropertyType type) {
  if (std::holds_alternative<std::string>(value)) return type == PropertyType::string;
  if (std::holds_alternative<std::int64_t>(value) || std::holds_alternative<double>(value))
    return type == PropertyType::integer || type == PropertyType::real;
  return false;
}

// A file that this user may not write, or that lies in such a folder, is opened read-only, so what it holds is
// still read. Reading a write-ahead-log file needs its shared-memory file, which a read-only folder may lack:
// then the file is read as it stands.
// The primary key has its unique index already.
bool hasOwnIndex(const Property& p) {
  return p.indexed && p.type != PropertyType::list && p.name != ObjectSchema::primaryKey;
}

std::string columnIndexName(const ObjectSchema& schema, const Property& p) { return schema.className() + "." + p.name; }

std::unique_ptr<detail::Connection> connect(const std::filesystem::path& path) {
  using detail::Connection;
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  const bool writable = ::access(path.parent_path().c_str(), W_OK | X_OK) == 0 &&
                        (!exists || ::access(path.c_str(), W_OK) == 0);
  if (writable || !exists) return std::make_unique<Connection>(path);
  try {
    auto connection = std::make_unique<Connection>(path, Connection::Access::readOnly);
    connection->scalar("SELECT count(*) FROM sqlite_master");
    return connection;
  } catch (const Error&) {
    return std::make_unique<Connection>(path, Connection::Access::immutable);
  }
}

Error newerVersion(const std::filesystem::path& file, std::int64_t stored, std::int64_t target) {
  return Error("the database file \"" + file.string() + "\" has schema version " + std::to_string(stored) +
                   ", newer than " + std::to_string(target),
               Failure::newerVersion);
}

}  // namespace

std::shared_ptr<Database> Database::open() {
  // The usual call, asked for every window admitted: the set default's instance of this thread, still open,
  // found without copying the configuration. The number is read first, so a default set meanwhile is a miss.
  thread_local std::weak_ptr<Database> last;
  thread_local std::uint64_t lastGeneration = 0;
  const std::uint64_t generation = Configuration::defaultGeneration();
  if (generation != 0 && generation == lastGeneration) {
    if (auto db = last.lock(); db && !db->isDetached()) {
      db->refreshIfChanged();
      return db;
    }
  }
  auto db = open(Configuration::defaultConfiguration());
  last = db;
  lastGeneration = generation;
  return db;
}

std::shared_ptr<Database> Database::open(const Configuration& configuration) {
  if (configuration.fileURL.empty()) throw Error("no database file given");
  if (configuration.schemaVersion > static_cast<std::uint64_t>(INT32_MAX))
    throw Error("schema version out of range");
  // The common case, an instance of this thread still open under the same absolute name, skips resolving
  // the path (several system calls) on every open.
  auto& byName = openedNames();
  if (configuration.fileURL.is_absolute()) {
    if (const auto it = byName.find(configuration.fileURL.native()); it != byName.end()) {
      if (auto db = it->second.lock(); db && !db->isDetached()) {
        db->refreshIfChanged();
        return db;
      }
      byName.erase(it);
    }
  }
  std::error_code ec;
  const auto path = std::filesystem::absolute(configuration.fileURL, ec);
  if (ec) throw Error("cannot resolve \"" + configuration.fileURL.string() + "\": " + ec.message());
  auto key = std::filesystem::weakly_canonical(path, ec);
  if (ec) key = path;

  auto& cache = instances();
  if (const auto it = cache.find(key.string()); it != cache.end()) {
    if (auto db = it->second.lock(); db && !db->isDetached()) {
      if (configuration.fileURL.is_absolute()) byName[configuration.fileURL.native()] = db;
      db->refreshIfChanged();
      return db;
    }
    cache.erase(it);
  }

  std::filesystem::create_directories(path.parent_path(), ec);
  if (ec)
    throw Error("cannot create the folder of \"" + path.string() + "\": " + ec.message(), Failure::cannotOpen);
  auto db = std::make_shared<Database>(Private{}, configuration, connect(path));
  db->prepare();
  cache[key.string()] = db;
  if (configuration.fileURL.is_absolute()) byName[configuration.fileURL.native()] = db;
  return db;
}

Database::Database(Private, Configuration configuration, std::unique_ptr<detail::Connection> connection)
    : configuration_(std::move(configuration)),
      connection_(std::move(connection)),
      thread_(std::this_thread::get_id()) {}

Database::~Database() {
  try {
    if (inWrite_) connection_->exec(inGroup_ ? "ROLLBACK TO write; RELEASE write" : "ROLLBACK");
    // The group's transactions were reported committed to their writers.
    if (inGroup_) connection_->exec("COMMIT");
  } catch (const Error&) {
    // Closing the connection rolls back what is still open.
  }
}

void Database::prepare() {
  const double wait = std::clamp(configuration_.busyTimeout, 0.0, 3600.0);
  connection_->exec("PRAGMA busy_timeout = " + std::to_string(static_cast<int>(wait * 1000)));
  // Savepoint and statement journals stay in memory: past 64 KiB they would otherwise go to a file in the
  // temporary folder, a disk write for every page a burst of writes touches.
  connection_->exec("PRAGMA temp_store = MEMORY");
  readOnly_ = connection_->isReadOnly();
  const auto target = static_cast<std::int64_t>(configuration_.schemaVersion);
  // Checked before anything is written: a file of a newer version belongs to a newer program and keeps its
  // bytes, journal mode included.
  if (const auto stored = asInt(connection_->scalar("PRAGMA user_version")); stored > target) {
    connection_->keepFileOnClose();
    throw newerVersion(configuration_.fileURL, stored, target);
  }
  // WAL: readers (other threads and processes) never block the writer and see each commit as a whole; a
  // killed writer leaves only uncommitted frames, which are ignored. NORMAL syncs the log at checkpoints
  // rather than at each commit: a commit is in the file system once it returns, so it survives the process
  // being killed, and the file stays whole on a power loss, which may take the latest commits with it.
  if (!readOnly_) connection_->exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL");
  // The usual case needs no write lock, so opening never waits for another process's write transaction.
  const bool ready = asInt(connection_->scalar("PRAGMA user_version")) == target &&
                     std::all_of(configuration_.objectTypes.begin(), configuration_.objectTypes.end(),
                                 [this](const ObjectSchema* schema) { return tableComplete(*schema); });
  if (ready) {
    // Every table was found complete just now: each is known without a second look.
    for (const auto* schema : configuration_.objectTypes) schemas_.emplace(schema->className(), schema);
    for (const auto* schema : configuration_.objectTypes)
      for (const auto& p : schema->properties())
        if (p.type == PropertyType::list) ensureTable(p.targetSchema());
    dataVersion_ = asInt(connection_->scalar("PRAGMA data_version"));
    return;
  }
  if (readOnly_)
    throw Error("the database file \"" + configuration_.fileURL.string() + "\" needs updating but is read-only",
                Failure::readOnly);
  connection_->exec("BEGIN IMMEDIATE");
  inWrite_ = true;
  try {
    const auto stored = asInt(connection_->scalar("PRAGMA user_version"));
    const bool fresh = asInt(connection_->scalar("SELECT count(*) FROM sqlite_master")) == 0;
    if (stored > target) {
      connection_->keepFileOnClose();
      throw newerVersion(configuration_.fileURL, stored, target);
    }
    for (const auto* schema : configuration_.objectTypes) ensureTable(*schema);
    if (!fresh && stored < target && configuration_.migrationBlock) {
      Migration migration(*this, static_cast<std::uint64_t>(stored));
      try {
        configuration_.migrationBlock(migration, static_cast<std::uint64_t>(stored));
      } catch (const Error& e) {
        if (e.failure() != Failure::other) throw;
        throw Error(std::string("migration failed: ") + e.what(), Failure::migration);
      }
    }
    if (stored != target) connection_->exec("PRAGMA user_version = " + std::to_string(target));
    connection_->exec("COMMIT");
  } catch (...) {
    try {
      connection_->exec("ROLLBACK");
    } catch (const Error&) {
    }
    inWrite_ = false;
    throw;
  }
  inWrite_ = false;
  changedClasses_.clear();
  deletedInWrite_.clear();
  dataVersion_ = asInt(connection_->scalar("PRAGMA data_version"));
}

std::uint64_t Database::schemaVersion() {
  checkThread();
  return static_cast<std::uint64_t>(asInt(connection_->scalar("PRAGMA user_version")));
}

void Database::checkThread() const {
  if (std::this_thread::get_id() != thread_)
    throw LogicError("a database instance or its objects were used on another thread than the one that opened it");
}

void Database::checkWrite(const char* operation) const {
  checkThread();
  if (!inWrite_) throw LogicError(std::string("cannot ") + operation + " outside a write transaction");
}

// ---- tables ----

bool Database::tableComplete(const ObjectSchema& schema) {
  std::set<std::string> columns;
  {
    auto info = connection_->statement("PRAGMA table_info(" + quoteIdentifier(schema.className()) + ")");
    while (info->step()) columns.insert(std::get<std::string>(info->value(1)));
  }
  std::set<std::string> wanted = {schema.className() + ".id"};
  for (const auto& p : schema.properties()) {
    if (p.type != PropertyType::list) {
      if (!columns.count(p.name)) return false;
      // A missing index only slows queries down: a read-only file does without it.
      if (hasOwnIndex(p) && !readOnly_) wanted.insert(columnIndexName(schema, p));
      continue;
    }
    const auto link = schema.className() + "." + p.name;
    wanted.insert({link, link + ".owner", link + ".target"});
  }
  auto found = connection_->statement("SELECT name FROM sqlite_master WHERE type IN ('table', 'index')");
  while (found->step()) wanted.erase(std::get<std::string>(found->value(0)));
  return wanted.empty();
}

void Database::ensureTable(const ObjectSchema& schema) {
  if (schemas_.count(schema.className())) return;
  if (tableComplete(schema)) {
    schemas_.emplace(schema.className(), &schema);
    for (const auto& p : schema.properties())
      if (p.type == PropertyType::list) ensureTable(p.targetSchema());
    return;
  }
  const auto table = quoteIdentifier(schema.className());
  std::string columns;
  for (const auto& p : schema.properties()) {
    if (p.type == PropertyType::list) continue;
    if (!columns.empty()) columns += ", ";
    columns += quoteIdentifier(p.name) + " " + sqlType(p.type);
  }
  connection_->exec("CREATE TABLE IF NOT EXISTS " + table + " (" + columns + ")");
  // A file made by an older version may lack columns; they read as the defaults.
  std::set<std::string> existing;
  {
    auto info = connection_->statement("PRAGMA table_info(" + table + ")");
    while (info->step()) existing.insert(std::get<std::string>(info->value(1)));
  }
  for (const auto& p : schema.properties())
    if (p.type != PropertyType::list && !existing.count(p.name))
      connection_->exec("ALTER TABLE " + table + " ADD COLUMN " + quoteIdentifier(p.name) + " " + sqlType(p.type));
  connection_->exec("CREATE UNIQUE INDEX IF NOT EXISTS " + quoteIdentifier(schema.className() + ".id") + " ON " +
                    table + " (" + quoteIdentifier(ObjectSchema::primaryKey) + ")");
  for (const auto& p : schema.properties())
    if (hasOwnIndex(p))
      connection_->exec("CREATE INDEX IF NOT EXISTS " + quoteIdentifier(columnIndexName(schema, p)) + " ON " + table +
                        " (" + quoteIdentifier(p.name) + ")");
  schemas_.emplace(schema.className(), &schema);
  for (std::size_t i = 0; i < schema.properties().size(); ++i) {
    const auto& p = schema.properties()[i];
    if (p.type != PropertyType::list) continue;
    ensureTable(p.targetSchema());
    const auto name = schema.className() + "." + p.name;
    const auto link = quoteIdentifier(name);
    connection_->exec("CREATE TABLE IF NOT EXISTS " + link +
                      " (owner TEXT NOT NULL, position INTEGER NOT NULL, target TEXT NOT NULL)");
    connection_->exec("CREATE INDEX IF NOT EXISTS " + quoteIdentifier(name + ".owner") + " ON " + link +
                      " (owner, position)");
    connection_->exec("CREATE INDEX IF NOT EXISTS " + quoteIdentifier(name + ".target") + " ON " + link +
                      " (target)");
  }
}

const ObjectSchema* Database::knownSchema(std::string_view className) const {
  if (const auto it = schemas_.find(className); it != schemas_.end()) return it->second;
  for (const auto* schema : configuration_.objectTypes)
    if (schema->className() == className) return schema;
  return nullptr;
}

std::string Database::linkTable(const ObjectSchema& owner, std::size_t property) const {
  return quoteIdentifier(owner.className() + "." + owner.properties()[property].name);
}

std::string Database::selectColumns(const ObjectSchema& schema, std::string_view tableAlias) const {
  if (tableAlias.empty()) return sqlOf(schema).columns;
  if (tableAlias == "t") return sqlOf(schema).aliasedColumns;
  std::string columns;
  for (const auto& p : schema.properties()) {
    if (p.type == PropertyType::list) continue;
    if (!columns.empty()) columns += ", ";
    columns += std::string(tableAlias) + "." + quoteIdentifier(p.name);
  }
  return columns;
}

const Database::SchemaSql& Database::sqlOf(const ObjectSchema& schema) const {
  SchemaSql& sql = sql_[schema.className()];
  if (sql.schema == &schema) return sql;
  sql = SchemaSql{.schema = &schema};
  const auto& properties = schema.properties();
  std::string placeholders, updates;
  int bound = 0;
  for (std::size_t i = 0; i < properties.size(); ++i) {
    if (properties[i].type == PropertyType::list) continue;
    const auto column = quoteIdentifier(properties[i].name);
    if (bound > 0) {
      sql.columns += ", ";
      sql.aliasedColumns += ", ";
      placeholders += ", ";
    }
    sql.columns += column;
    sql.aliasedColumns += "t." + column;
    placeholders += "?" + std::to_string(++bound);
    if (i != schema.primaryKeyIndex()) updates += (updates.empty() ? "" : ", ") + column + " = excluded." + column;
  }
  const auto table = quoteIdentifier(schema.className());
  const auto key = quoteIdentifier(ObjectSchema::primaryKey);
  const auto insert = "INSERT INTO " + table + " (" + sql.columns + ") VALUES (" + placeholders + ") ON CONFLICT (" +
                      key + ") DO ";
  sql.upsert = insert + (updates.empty() ? "NOTHING" : "UPDATE SET " + updates);
  sql.insertNew = insert + "NOTHING";
  sql.boundColumns = bound;
  sql.keysInRowidRange = "SELECT " + key + " FROM " + table + " WHERE rowid > ?1 AND rowid <= ?2";
  sql.exists = "SELECT 1 FROM " + table + " WHERE " + key + " = ?1";
  sql.updateColumn.resize(properties.size());
  for (std::size_t i = 0; i < properties.size(); ++i)
    if (properties[i].type != PropertyType::list && i != schema.primaryKeyIndex())
      sql.updateColumn[i] =
          "UPDATE " + table + " SET " + quoteIdentifier(properties[i].name) + " = ?1 WHERE " + key + " = ?2";
  sql.hasLists = bound != static_cast<int>(properties.size());
  return sql;
}

// ---- identity map ----

std::shared_ptr<Row> Database::liveRow(const ObjectSchema& schema, const std::string& primaryKey) {
  const auto cls = rows_.find(schema.className());
  if (cls == rows_.end()) return nullptr;
  const auto it = cls->second.find(primaryKey);
  if (it == cls->second.end()) return nullptr;
  auto row = it->second.lock();
  if (!row) cls->second.erase(it);
  return row;
}

void Database::registerRow(const std::shared_ptr<Row>& row) {
  rows_[row->schema->className()][row->primaryKeyValue()] = row;
  sweepSoon();
}

void Database::sweepSoon() {
  if (++registrationsSinceSweep_ < 1024) return;
  registrationsSinceSweep_ = 0;
  for (auto& [name, byKey] : rows_) std::erase_if(byKey, [](const auto& entry) { return entry.second.expired(); });
}

void Database::forgetRow(const Row& row) {
  const auto cls = rows_.find(row.schema->className());
  if (cls == rows_.end()) return;
  const auto it = cls->second.find(row.primaryKeyValue());
  if (it != cls->second.end() && it->second.lock().get() == &row) cls->second.erase(it);
}

std::vector<std::shared_ptr<Row>> Database::liveRows() {
  std::vector<std::shared_ptr<Row>> result;
  for (auto& [name, byKey] : rows_) {
    for (auto it = byKey.begin(); it != byKey.end();) {
      if (auto row = it->second.lock()) {
        result.push_back(std::move(row));
        ++it;
      } else {
        it = byKey.erase(it);
      }
    }
  }
  return result;
}

std::shared_ptr<Object> Database::materialize(const ObjectSchema& schema, detail::Statement& statement,
                                              int firstColumn) {
  const auto& properties = schema.properties();
  int keyColumn = firstColumn;
  for (std::size_t i = 0; i < schema.primaryKeyIndex(); ++i)
    if (properties[i].type != PropertyType::list) ++keyColumn;
  const Value keyValue = statement.value(keyColumn, PropertyType::string);
  const auto* key = std::get_if<std::string>(&keyValue);
  if (!key) return nullptr;  // a row without a primary key cannot be presented

  // A live row holds the stored values already: every write goes through it, and a rollback or another
  // connection's commit reloads it.
  if (auto row = liveRow(schema, *key)) {
    if (auto accessor = row->accessor()) return accessor;
    auto object = schema.makeObject();
    object->row_ = row;
    row->accessors.push_back(object);
    return object;
  }
  auto object = schema.makeObject();
  auto& row = *object->row_;
  int column = firstColumn;
  for (std::size_t i = 0; i < properties.size(); ++i) {
    if (properties[i].type == PropertyType::list) continue;
    Value v = statement.value(column++, properties[i].type);
    if (!std::holds_alternative<std::monostate>(v)) row.values[i] = std::move(v);
  }
  ownRow(object);
  registerRow(object->row_);
  return object;
}

void Database::reload(Row& row) {
  const auto& schema = *row.schema;
  auto statement = connection_->statement("SELECT " + selectColumns(schema) + " FROM " +
                                          quoteIdentifier(schema.className()) + " WHERE " +
                                          quoteIdentifier(ObjectSchema::primaryKey) + " = ?1");
  statement->bind(1, row.primaryKeyValue());
  if (!statement->step()) {
    row.invalidated = true;
    forgetRow(row);
    return;
  }
  row.invalidated = false;
  const auto& properties = schema.properties();
  int column = 0;
  for (std::size_t i = 0; i < properties.size(); ++i) {
    if (properties[i].type == PropertyType::list) continue;
    Value v = statement->value(column++, properties[i].type);
    // A value read as it was stays in place, so the texts callers were handed stay valid.
    if (!std::holds_alternative<std::monostate>(v) && row.values[i] != v) row.values[i] = std::move(v);
  }
}

void Database::refresh() {
  checkThread();
  ++refreshes_;
  dataVersion_ = asInt(connection_->scalar("PRAGMA data_version"));
  for (const auto& row : liveRows()) reload(*row);
}

std::uint64_t Database::rowsComeOrGone(const std::string& className) {
  checkThread();
  refreshIfChanged();
  const auto it = rowsComeOrGone_.find(className);
  return refreshes_ + (it == rowsComeOrGone_.end() ? 0 : it->second);
}

bool Database::dataVersionChanged() { return asInt(connection_->scalar("PRAGMA data_version")) != dataVersion_; }

void Database::refreshIfChanged() {
  // Holding the write lock, nobody else can have committed since the last look.
  if (inWrite_ || inGroup_) return;
  if (dataVersionChanged()) refresh();
}

// ---- reads ----

std::vector<std::shared_ptr<Object>> Database::objects(const ObjectSchema& schema, const Predicate* predicate) {
  checkThread();
  ensureTable(schema);
  refreshIfChanged();
  std::string sql = "SELECT " + selectColumns(schema) + " FROM " + quoteIdentifier(schema.className());
  std::vector<Value> parameters;
  if (predicate) {
    std::string where;
    for (const auto& condition : predicate->conditions()) {
      const auto index = schema.propertyIndex(condition.property);
      if (!index || schema.properties()[*index].type == PropertyType::list)
        throw QueryError("predicate \"" + predicate->format() + "\": class '" + schema.className() +
                         "' has no property '" + condition.property + "' to compare");
      if (!comparable(condition.value, schema.properties()[*index].type))
        throw QueryError("predicate \"" + predicate->format() + "\": '" + condition.property +
                         "' cannot be compared with " + describeValue(condition.value));
      where += (where.empty() ? " WHERE " : " AND ") + quoteIdentifier(condition.property) + " = ?" +
               std::to_string(parameters.size() + 1);
      parameters.push_back(condition.value);
    }
    sql += where;
  }
  sql += " ORDER BY rowid";
  auto statement = connection_->statement(sql);
  for (std::size_t i = 0; i < parameters.size(); ++i) statement->bind(static_cast<int>(i + 1), parameters[i]);
  std::vector<std::shared_ptr<Object>> result;
  while (statement->step())
    if (auto object = materialize(schema, *statement, 0)) result.push_back(std::move(object));
  return result;
}

std::shared_ptr<Object> Database::object(const ObjectSchema& schema, std::string_view primaryKey) {
  const auto predicate = Predicate::equals(std::string(ObjectSchema::primaryKey), primaryKey);
  auto found = objects(schema, &predicate);
  return found.empty() ? nullptr : found.front();
}

std::size_t Database::count(const ObjectSchema& schema, const Predicate* predicate) {
  // Counting through objects() keeps one place that validates and binds predicates; the sets are small.
  if (predicate) return objects(schema, predicate).size();
  checkThread();
  ensureTable(schema);
  return static_cast<std::size_t>(
      asInt(connection_->scalar("SELECT count(*) FROM " + quoteIdentifier(schema.className()))));
}

bool Database::rowExists(const ObjectSchema& schema, const std::string& primaryKey) {
  auto statement = connection_->statement(sqlOf(schema).exists);
  statement->bind(1, primaryKey);
  return statement->step();
}

// ---- transactions ----

void Database::beginWrite() {
  checkThread();
  if (inWrite_) throw LogicError("a write transaction is open already on this database instance");
  if (readOnly_)
    throw Error("the database file \"" + configuration_.fileURL.string() + "\" is read-only", Failure::readOnly);
  // An instance is kept open for long: a file removed or replaced meanwhile is found here, before a change
  // goes where nobody will read it. A group checked when it began.
  if (!inGroup_ && (detached_ || connection_->fileMoved())) {
    detached_ = true;
    throw Error("the database file \"" + configuration_.fileURL.string() + "\" was removed or replaced while open",
                Failure::cannotOpen);
  }
  // Inside a group every write opens and releases a savepoint: prepared once, not parsed each time.
  if (inGroup_)
    connection_->statement("SAVEPOINT write")->step();
  else
    connection_->exec("BEGIN IMMEDIATE");
  inWrite_ = true;
  ++writesBegun_;
  changedClasses_.clear();
  deletedInWrite_.clear();
  if (inGroup_) return;  // the group holds the write lock: nothing changed since it began
  try {
    if (dataVersionChanged()) refresh();
  } catch (...) {
    cancelWrite();
    throw;
  }
}

void Database::commitWrite() {
  checkThread();
  if (!inWrite_) throw LogicError("no write transaction to commit");
  try {
    if (inGroup_)
      connection_->statement("RELEASE write")->step();
    else
      connection_->exec("COMMIT");
  } catch (const Error&) {
    cancelWrite();
    throw;
  }
  inWrite_ = false;
  if (inGroup_) {
    groupWritten_ = true;
    groupChangedClasses_.merge(changedClasses_);
    changedClasses_.clear();
    for (auto& row : deletedInWrite_) deletedInGroup_.push_back(std::move(row));
    deletedInWrite_.clear();
    return;
  }
  deletedInWrite_.clear();
  ChangeNotification notification{std::move(changedClasses_)};
  changedClasses_.clear();
  changes_.onNext(notification);
}

void Database::cancelWrite() {
  checkThread();
  if (!inWrite_) throw LogicError("no write transaction to cancel");
  try {
    connection_->exec(inGroup_ ? "ROLLBACK TO write; RELEASE write" : "ROLLBACK");
  } catch (const Error&) {
    // A failed commit may have ended the transaction already.
  }
  inWrite_ = false;
  changedClasses_.clear();
  restoreAfterRollback(std::exchange(deletedInWrite_, {}));
}

void Database::beginWriteGroup() {
  checkThread();
  if (inWrite_ || inGroup_) throw LogicError("a write transaction or group is open already on this database instance");
  beginWrite();
  inGroup_ = true;
  inWrite_ = false;
  groupWritten_ = false;
}

void Database::commitWriteGroup() {
  checkThread();
  if (!inGroup_) throw LogicError("no write group to commit");
  if (inWrite_) throw LogicError("cannot commit a write group inside one of its write transactions");
  inGroup_ = false;
  try {
    connection_->exec("COMMIT");
  } catch (const Error&) {
    try {
      connection_->exec("ROLLBACK");
    } catch (const Error&) {
      // A failed commit may have ended the transaction already.
    }
    groupChangedClasses_.clear();
    restoreAfterRollback(std::exchange(deletedInGroup_, {}));
    throw;
  }
  deletedInGroup_.clear();
  ChangeNotification notification{std::exchange(groupChangedClasses_, {})};
  if (std::exchange(groupWritten_, false)) changes_.onNext(notification);
}

void Database::restoreAfterRollback(std::vector<std::weak_ptr<Row>> deleted) {
  for (const auto& weak : deleted) {
    const auto row = weak.lock();
    if (!row || liveRow(*row->schema, row->primaryKeyValue())) continue;  // gone, or stored anew meanwhile
    row->invalidated = false;
    registerRow(row);
  }
  for (const auto& row : liveRows()) reload(*row);
}

// ---- writes ----

bool Database::writeRow(const ObjectSchema& schema, const std::vector<Value>& values, bool onlyNew) {
  const auto& properties = schema.properties();
  const auto& sql = sqlOf(schema);
  auto statement = connection_->statement(onlyNew ? sql.insertNew : sql.upsert);
  int bound = 0;
  // The values outlive the lease, which resets the statement.
  for (std::size_t i = 0; i < properties.size(); ++i)
    if (properties[i].type != PropertyType::list) statement->bindUncopied(++bound, values[i]);
  statement->step();
  return !onlyNew || connection_->changes() > 0;
}

void Database::add(const std::shared_ptr<Object>& object, UpdatePolicy policy) { addObject(object, policy, false); }

bool Database::addNew(const std::shared_ptr<Object>& object) { return addObject(object, UpdatePolicy::error, true); }

bool Database::addObject(const std::shared_ptr<Object>& object, UpdatePolicy policy, bool quietWhenTaken) {
  checkWrite("add an object");
  if (!object) throw LogicError("cannot add a null object");
  const auto& schema = object->objectSchema();
  {
    const auto& row = *object->row_;
    if (row.owner) {
      if (row.owner.get() != this) throw LogicError("the object is managed by another database instance");
      if (row.invalidated) throw LogicError("cannot add an object of class '" + schema.className() + "' that was deleted");
      return true;
    }
  }
  ensureTable(schema);
  const std::string key = object->row_->primaryKeyValue();
  // Without lists, whether the key was taken matters only to refuse it, which the insert itself tells.
  const bool hasLists = sqlOf(schema).hasLists;
  const bool exists = hasLists && rowExists(schema, key);
  if ((exists && policy == UpdatePolicy::error) ||
      !writeRow(schema, object->row_->values, !hasLists && policy == UpdatePolicy::error)) {
    if (quietWhenTaken) return false;
    throw Error("an object of class '" + schema.className() + "' with primary key '" + key + "' is stored already");
  }
  auto lists = std::move(object->row_->lists);
  adoptStored(object, key);

  for (std::size_t i = 0; i < schema.properties().size(); ++i) {
    if (schema.properties()[i].type != PropertyType::list) continue;
    if (exists) listClear(*object->row_, i);
    if (i < lists.size())
      for (const auto& element : lists[i]) listAppend(*object->row_, i, element, policy);
  }
  return true;
}

void Database::adoptStored(const std::shared_ptr<Object>& object, const std::string& key) {
  const auto& schema = object->objectSchema();
  noteRowsAdded(schema, 1);
  adoptStored(object, key, rows_[schema.className()]);
}

void Database::noteRowsAdded(const ObjectSchema& schema, std::size_t count) {
  changedClasses_.insert(schema.className());
  rowsComeOrGone_[schema.className()] += count;
}

void Database::ownRow(const std::shared_ptr<Object>& object) {
  detail::Row& row = *object->row_;
  row.owner = shared_from_this();
  row.lists.clear();  // a stored row keeps its lists in the file
  row.accessors = {object};
}

void Database::adoptStored(const std::shared_ptr<Object>& object, const std::string& key, LiveRows& live) {
  const auto found = live.find(key);
  if (found != live.end()) {
    if (auto existing = found->second.lock()) {
      existing->values = object->row_->values;
      existing->accessors.push_back(object);
      object->row_ = std::move(existing);
      return;
    }
  }
  ownRow(object);
  if (found != live.end())
    found->second = object->row_;
  else
    live.emplace(key, object->row_);
  sweepSoon();
}

std::vector<bool> Database::addNew(const std::vector<std::shared_ptr<Object>>& objects) {
  checkWrite("add an object");
  std::vector<bool> stored(objects.size(), false);
  // Runs of unmanaged objects of one class without lists, no key twice in a run, go many rows to a statement;
  // the rest one by one.
  std::vector<std::size_t> run;
  run.reserve(kMaxRowsPerInsert);
  std::size_t next = 0;
  while (next < objects.size()) {
    const auto& first = objects[next];
    if (!first || first->row_->owner || sqlOf(first->objectSchema()).hasLists) {
      stored[next] = addNew(first);
      ++next;
      continue;
    }
    const ObjectSchema& schema = first->objectSchema();
    run.clear();
    for (std::size_t i = next; i < objects.size() && run.size() < kMaxRowsPerInsert; ++i) {
      const auto& object = objects[i];
      if (!object || &object->objectSchema() != &schema || object->row_->owner) break;
      // A run is a few rows: comparing with each is cheaper than hashing.
      const std::string& key = object->row_->primaryKeyValue();
      if (std::any_of(run.begin(), run.end(),
                      [&](std::size_t r) { return objects[r]->row_->primaryKeyValue() == key; }))
        break;
      run.push_back(i);
    }
    if (run.size() == 1)
      stored[next] = addNew(first);
    else
      insertRows(schema, objects, run, stored);
    next += run.size();
  }
  return stored;
}

void Database::insertRows(const ObjectSchema& schema, const std::vector<std::shared_ptr<Object>>& objects,
                          const std::vector<std::size_t>& rows, std::vector<bool>& stored) {
  ensureTable(schema);
  const SchemaSql& sql = sqlOf(schema);
  const auto& properties = schema.properties();
  // Doing nothing on a key stored already, a statement of many rows never has to undo itself: SQLite then
  // keeps no journal of the pages it touches.
  std::string& text = sql.insertNewRows[rows.size()];
  if (text.empty()) {
    std::string values;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      values += r == 0 ? "(" : ", (";
      for (int b = 0; b < sql.boundColumns; ++b) values += b == 0 ? "?" : ", ?";
      values += ")";
    }
    text = "INSERT INTO " + quoteIdentifier(schema.className()) + " (" + sql.columns + ") VALUES " + values +
           " ON CONFLICT (" + quoteIdentifier(ObjectSchema::primaryKey) + ") DO NOTHING";
  }
  int inserted = 0;
  {
    auto statement = connection_->statement(text);
    int bound = 0;
    // The values outlive the lease, which resets the statement.
    for (const std::size_t i : rows)
      for (std::size_t p = 0; p < properties.size(); ++p)
        statement->bindUncopied(++bound, objects[i]->row_->values[p]);
    statement->step();
    inserted = connection_->changes();
  }
  if (inserted == 0) return;
  noteRowsAdded(schema, static_cast<std::size_t>(inserted));
  LiveRows& live = rows_[schema.className()];
  if (inserted == static_cast<int>(rows.size())) {
    for (const std::size_t i : rows) {
      stored[i] = true;
      adoptStored(objects[i], objects[i]->row_->primaryKeyValue(), live);
    }
    return;
  }
  // Some keys were stored already and their rows skipped. A new row takes the rowid after the largest, so the
  // statement's rows are the last `inserted` rowids.
  const std::int64_t last = connection_->lastInsertRowid();
  std::unordered_set<std::string> ours;
  {
    auto statement = connection_->statement(sql.keysInRowidRange);
    statement->bind(1, Value{last - inserted});
    statement->bind(2, Value{last});
    while (statement->step())
      if (Value key = statement->value(0); std::holds_alternative<std::string>(key))
        ours.insert(std::get<std::string>(std::move(key)));
  }
  std::size_t matched = 0;
  for (const std::size_t i : rows) matched += ours.count(objects[i]->row_->primaryKeyValue());
  if (matched != static_cast<std::size_t>(inserted))
    throw Error("cannot tell which of the new rows of \"" + schema.className() + "\" were stored");
  for (const std::size_t i : rows) {
    const std::string& key = objects[i]->row_->primaryKeyValue();
    if (!ours.count(key)) continue;
    stored[i] = true;
    adoptStored(objects[i], key, live);
  }
}

void Database::remove(const std::shared_ptr<Object>& object) {
  checkWrite("delete an object");
  if (!object) throw LogicError("cannot delete a null object");
  auto row = object->row_;
  if (!row->owner) throw LogicError("cannot delete an unmanaged object");
  if (row->owner.get() != this) throw LogicError("the object is managed by another database instance");
  if (row->invalidated) return;
  const auto& schema = *row->schema;
  const auto key = row->primaryKeyValue();
  {
    auto statement = connection_->statement("DELETE FROM " + quoteIdentifier(schema.className()) + " WHERE " +
                                            quoteIdentifier(ObjectSchema::primaryKey) + " = ?1");
    statement->bind(1, key);
    statement->step();
  }
  for (std::size_t i = 0; i < schema.properties().size(); ++i)
    if (schema.properties()[i].type == PropertyType::list) listClear(*row, i);
  // Drop the references that lists of other objects hold to it.
  for (const auto& [name, owner] : schemas_) {
    for (std::size_t i = 0; i < owner->properties().size(); ++i) {
      const auto& p = owner->properties()[i];
      if (p.type != PropertyType::list || p.targetSchema().className() != schema.className()) continue;
      auto statement = connection_->statement("DELETE FROM " + linkTable(*owner, i) + " WHERE target = ?1");
      statement->bind(1, key);
      statement->step();
      changedClasses_.insert(owner->className());
    }
  }
  row->invalidated = true;
  forgetRow(*row);
  deletedInWrite_.push_back(row);
  changedClasses_.insert(schema.className());
  ++rowsComeOrGone_[schema.className()];
}

std::size_t Database::removeOldest(const ObjectSchema& schema, std::size_t keep) {
  checkWrite("delete objects");
  for (const auto& p : schema.properties())
    if (p.type == PropertyType::list)
      throw LogicError("removeOldest: class '" + schema.className() + "' has lists");
  ensureTable(schema);
  const auto table = quoteIdentifier(schema.className());
  // The newest `keep` rows by rowid stay; the cut is found through the rowid, not by counting the table.
  const std::string older = " WHERE rowid < (SELECT rowid FROM " + table + " ORDER BY rowid DESC LIMIT 1 OFFSET ?1)";
  const auto cut = static_cast<std::int64_t>(keep == 0 ? 0 : keep - 1);
  if (keep == 0) {
    const auto n = count(schema, nullptr);
    if (n == 0) return 0;
    connection_->exec("DELETE FROM " + table);
    for (const auto& row : liveRows())
      if (row->schema->className() == schema.className()) {
        row->invalidated = true;
        forgetRow(*row);
        deletedInWrite_.push_back(row);
      }
    changedClasses_.insert(schema.className());
    return n;
  }
  if (const auto live = rows_.find(schema.className()); live != rows_.end() && !live->second.empty()) {
    auto ids = connection_->statement("SELECT " + quoteIdentifier(ObjectSchema::primaryKey) + " FROM " + table + older);
    ids->bind(1, cut);
    while (ids->step()) {
      const Value id = ids->value(0);
      const auto* key = std::get_if<std::string>(&id);
      if (!key) continue;
      if (auto row = liveRow(schema, *key)) {
        row->invalidated = true;
        forgetRow(*row);
        deletedInWrite_.push_back(row);
      }
    }
  }
  auto statement = connection_->statement("DELETE FROM " + table + older);
  statement->bind(1, cut);
  statement->step();
  const auto removed = static_cast<std::size_t>(asInt(connection_->scalar("SELECT changes()")));
  if (removed > 0) changedClasses_.insert(schema.className());
  return removed;
}

void Database::setValue(Row& row, std::size_t property, Value value) {
  checkThread();
  const auto& schema = *row.schema;
  if (row.invalidated)
    throw LogicError("an object of class '" + schema.className() + "' was deleted and cannot be changed");
  if (!inWrite_)
    throw LogicError("cannot change a stored object of class '" + schema.className() +
                     "' outside a write transaction");
  if (property == schema.primaryKeyIndex())
    throw LogicError("the primary key of a stored object of class '" + schema.className() + "' cannot change");
  {
    auto statement = connection_->statement(sqlOf(schema).updateColumn[property]);
    statement->bindUncopied(1, value).bindUncopied(2, row.primaryKeyValue());
    statement->step();
  }
  row.values[property] = std::move(value);
  changedClasses_.insert(schema.className());
}

// ---- lists ----

namespace {
std::string listSelect(const std::string& link, const std::string& target, const std::string& what) {
  return "SELECT " + what + " FROM " + link + " l JOIN " + target + " t ON t." +
         quoteIdentifier(ObjectSchema::primaryKey) + " = l.target WHERE l.owner = ?1 ORDER BY l.position, l.rowid";
}
}  // namespace

std::size_t Database::listSize(const Row& row, std::size_t property) {
  checkThread();
  const auto& schema = *row.schema;
  const auto& target = schema.properties()[property].targetSchema();
  auto statement = connection_->statement(
      listSelect(linkTable(schema, property), quoteIdentifier(target.className()), "count(*)"));
  statement->bind(1, row.primaryKeyValue());
  return statement->step() ? static_cast<std::size_t>(statement->int64(0)) : 0;
}

std::shared_ptr<Object> Database::listAt(const Row& row, std::size_t property, std::size_t index) {
  checkThread();
  const auto& schema = *row.schema;
  const auto& target = schema.properties()[property].targetSchema();
  auto statement = connection_->statement(listSelect(linkTable(schema, property),
                                                     quoteIdentifier(target.className()),
                                                     selectColumns(target, "t")) +
                                          " LIMIT 1 OFFSET ?2");
  statement->bind(1, row.primaryKeyValue()).bind(2, static_cast<std::int64_t>(index));
  if (!statement->step()) throw std::out_of_range("list index " + std::to_string(index) + " out of range");
  return materialize(target, *statement, 0);
}

std::vector<std::shared_ptr<Object>> Database::listSnapshot(const Row& row, std::size_t property) {
  checkThread();
  const auto& schema = *row.schema;
  const auto& target = schema.properties()[property].targetSchema();
  auto statement = connection_->statement(
      listSelect(linkTable(schema, property), quoteIdentifier(target.className()), selectColumns(target, "t")));
  statement->bind(1, row.primaryKeyValue());
  std::vector<std::shared_ptr<Object>> result;
  while (statement->step())
    if (auto object = materialize(target, *statement, 0)) result.push_back(std::move(object));
  return result;
}

void Database::listAppend(Row& row, std::size_t property, const std::shared_ptr<Object>& element,
                          UpdatePolicy policy) {
  checkWrite("change a stored list");
  if (row.invalidated) throw LogicError("the list's owner was deleted");
  if (!element) throw LogicError("cannot append a null object");
  if (!element->row_->owner) add(element, policy);
  if (element->row_->owner.get() != this) throw LogicError("the object is managed by another database instance");
  if (element->row_->invalidated) throw LogicError("cannot append a deleted object");
  const auto link = linkTable(*row.schema, property);
  auto statement = connection_->statement("INSERT INTO " + link +
                                          " (owner, position, target) VALUES (?1, (SELECT coalesce(max(position), "
                                          "-1) + 1 FROM " + link + " WHERE owner = ?1), ?2)");
  statement->bind(1, row.primaryKeyValue()).bind(2, element->row_->primaryKeyValue());
  statement->step();
  changedClasses_.insert(row.schema->className());
}

void Database::listRemove(Row& row, std::size_t property, std::size_t index) {
  checkWrite("change a stored list");
  const auto& schema = *row.schema;
  const auto& target = schema.properties()[property].targetSchema();
  const auto link = linkTable(schema, property);
  std::int64_t linkRow = 0;
  {
    auto statement =
        connection_->statement(listSelect(link, quoteIdentifier(target.className()), "l.rowid") + " LIMIT 1 OFFSET ?2");
    statement->bind(1, row.primaryKeyValue()).bind(2, static_cast<std::int64_t>(index));
    if (!statement->step()) throw std::out_of_range("list index " + std::to_string(index) + " out of range");
    linkRow = statement->int64(0);
  }
  auto statement = connection_->statement("DELETE FROM " + link + " WHERE rowid = ?1");
  statement->bind(1, linkRow);
  statement->step();
  changedClasses_.insert(schema.className());
}

void Database::listClear(Row& row, std::size_t property) {
  checkWrite("change a stored list");
  auto statement = connection_->statement("DELETE FROM " + linkTable(*row.schema, property) + " WHERE owner = ?1");
  statement->bind(1, row.primaryKeyValue());
  statement->step();
  changedClasses_.insert(row.schema->className());
}

}  // namespace tilvane::store
