#include "platform/store/detail/Sql.h"

#include <sqlite3.h>

#include <cctype>
#include <climits>

#include "platform/store/StoreError.h"

namespace tilvane::store::detail {
namespace {

Failure failureOf(int code) {
  switch (code & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return Failure::cannotOpen;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return Failure::damaged;
    case SQLITE_READONLY:
      return Failure::readOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Failure::busy;
    case SQLITE_FULL:
      return Failure::diskFull;
    default:
      return Failure::other;
  }
}

[[noreturn]] void fail(sqlite3* db, std::string_view what) {
  if (!db) throw Error(std::string(what) + ": out of memory");
  throw Error(std::string(what) + ": " + sqlite3_errmsg(db), failureOf(sqlite3_extended_errcode(db)));
}

}  // namespace

// The path for a "file:" URI: every byte outside the unreserved set percent-encoded.
std::string uriPath(const std::filesystem::path& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : path.string()) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) throw Error("statement too long");
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
    fail(db_, "cannot prepare \"" + std::string(sql) + "\"");
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) { other.stmt_ = nullptr; }

Statement& Statement::bind(int index, const Value& value) { return bindValue(index, value, SQLITE_TRANSIENT); }

Statement& Statement::bindUncopied(int index, const Value& value) { return bindValue(index, value, SQLITE_STATIC); }

Statement& Statement::bindUncopied(int index, const std::string& text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) throw Error("text too long to store");
  if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC) != SQLITE_OK)
    fail(db_, "cannot bind a value");
  return *this;
}

Statement& Statement::bindValue(int index, const Value& value, void (*textLifetime)(void*)) {
  int rc = SQLITE_OK;
  if (const auto* i = std::get_if<std::int64_t>(&value)) {
    rc = sqlite3_bind_int64(stmt_, index, *i);
  } else if (const auto* d = std::get_if<double>(&value)) {
    rc = sqlite3_bind_double(stmt_, index, *d);
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    if (s->size() > static_cast<std::size_t>(INT_MAX)) throw Error("text too long to store");
    rc = sqlite3_bind_text(stmt_, index, s->data(), static_cast<int>(s->size()), textLifetime);
  } else {
    rc = sqlite3_bind_null(stmt_, index);
  }
  if (rc != SQLITE_OK) fail(db_, "cannot bind a value");
  return *this;
}

bool Statement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  // The statement must be rewound before the connection's error text is reliable and before reuse.
  sqlite3_reset(stmt_);
  fail(db_, "database step failed");
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

std::string Statement::columnName(int column) const {
  const char* name = sqlite3_column_name(stmt_, column);
  return name ? name : "";
}

bool Statement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

Value Statement::value(int column) const {
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, column));
    case SQLITE_FLOAT:
      return sqlite3_column_double(stmt_, column);
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const auto* text = sqlite3_column_text(stmt_, column);
      const int size = sqlite3_column_bytes(stmt_, column);
      return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
    }
    default:
      return std::monostate{};
  }
}

Value Statement::value(int column, PropertyType type) const {
  if (isNull(column)) return std::monostate{};
  switch (type) {
    case PropertyType::integer:
      return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, column));
    case PropertyType::real:
      return sqlite3_column_double(stmt_, column);
    case PropertyType::string: {
      const auto* text = sqlite3_column_text(stmt_, column);
      const int size = sqlite3_column_bytes(stmt_, column);
      return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
    }
    case PropertyType::list:
      break;
  }
  return std::monostate{};
}

std::int64_t Statement::int64(int column) const { return sqlite3_column_int64(stmt_, column); }

namespace {
// Before SQLite's first use in the process: without memory statistics, which nothing reads, its allocations take
// no global lock. Where something used SQLite first the call is refused, and changes nothing.
void configureOnce() { [[maybe_unused]] static const int configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); }
}  // namespace

Connection::Connection(const std::filesystem::path& path, Access access) {
  configureOnce();
  int flags = SQLITE_OPEN_NOMUTEX;
  std::string name = path.string();
  switch (access) {
    case Access::readWrite:
      flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
      break;
    case Access::readOnly:
      flags |= SQLITE_OPEN_READONLY;
      break;
    case Access::immutable:
      // A write-ahead-log file cannot be read where its shared-memory file cannot be made; read the file as it
      // stands instead.
      flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
      name = "file:" + uriPath(path) + "?immutable=1";
      break;
  }
  if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const int code = db_ ? sqlite3_extended_errcode(db_) : SQLITE_NOMEM;
    std::string message = "cannot open database \"" + path.string() + "\": " +
                          (db_ ? sqlite3_errmsg(db_) : "out of memory");
    sqlite3_close(db_);
    db_ = nullptr;
    throw Error(message, failureOf(code));
  }
  sqlite3_extended_result_codes(db_, 1);
}

int Connection::changes() const { return sqlite3_changes(db_); }

std::int64_t Connection::lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

bool Connection::isReadOnly() const { return sqlite3_db_readonly(db_, "main") == 1; }

bool Connection::fileMoved() const {
  int moved = 0;
  return sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

void Connection::keepFileOnClose() { sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr); }

Connection::~Connection() {
  cache_.clear();
  sqlite3_close(db_);
}

void Connection::exec(std::string_view sql) {
  const std::string text(sql);
  char* message = nullptr;
  if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string what = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    throw Error("\"" + text + "\" failed: " + what, failureOf(sqlite3_extended_errcode(db_)));
  }
}

StatementLease::~StatementLease() {
  statement_->reset();
  if (busy_) *busy_ = false;
}

StatementLease Connection::statement(const std::string& sql) {
  auto it = cache_.find(sql);
  if (it == cache_.end()) it = cache_.emplace(sql, Cached{std::make_unique<Statement>(db_, sql), false}).first;
  if (it->second.busy) return StatementLease(std::make_unique<Statement>(db_, sql));
  it->second.busy = true;
  return StatementLease(*it->second.statement, &it->second.busy);
}

Value Connection::scalar(const std::string& sql) {
  const auto s = statement(sql);
  return s->step() ? s->value(0) : Value{};
}

void Connection::clearStatementCache() { cache_.clear(); }

std::string quoteIdentifier(std::string_view name) {
  std::string result = "\"";
  for (const char c : name) {
    if (c == '"') result.push_back('"');
    result.push_back(c);
  }
  result.push_back('"');
  return result;
}

}  // namespace tilvane::store::detail
