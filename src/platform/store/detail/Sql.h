#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/store/Value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tilvane::store::detail {

/// A prepared SQLite statement. Failures throw store::Error with SQLite's message.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  /// Binds parameter `index` (1-based); std::monostate binds NULL.
  Statement& bind(int index, const Value& value);
  /// bind() without copying a text: `value` must stay unchanged until the statement is next reset. A temporary
  /// (a text turned into a Value on the way, say) would be gone before that: refused.
  Statement& bindUncopied(int index, const Value& value);
  Statement& bindUncopied(int index, const std::string& text);
  Statement& bindUncopied(int index, Value&& value) = delete;
  Statement& bindUncopied(int index, std::string&& text) = delete;
  /// Runs to the next row: true when a row is ready, false when done.
  bool step();
  /// Rewinds for another run and clears the bindings.
  void reset();

  int columnCount() const;
  std::string columnName(int column) const;
  bool isNull(int column) const;
  /// The column as SQLite stored it (integer, real, text; NULL as std::monostate).
  Value value(int column) const;
  /// The column converted to the given property type (NULL as std::monostate).
  Value value(int column, PropertyType type) const;
  std::int64_t int64(int column) const;

 private:
  Statement& bindValue(int index, const Value& value, void (*textLifetime)(void*));
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

/// A statement lent out by a Connection: rewound and unbound when the lease ends, so no statement keeps a read
/// transaction open after its use.
class StatementLease {
 public:
  StatementLease(Statement& cached, bool* busy) : statement_(&cached), busy_(busy) {}
  explicit StatementLease(std::unique_ptr<Statement> own) : own_(std::move(own)), statement_(own_.get()) {}
  ~StatementLease();
  StatementLease(const StatementLease&) = delete;
  StatementLease& operator=(const StatementLease&) = delete;

  Statement* operator->() const { return statement_; }
  Statement& operator*() const { return *statement_; }

 private:
  std::unique_ptr<Statement> own_;
  Statement* statement_;
  bool* busy_ = nullptr;
};

/// An open SQLite connection with a cache of prepared statements. Failures throw store::Error.
class Connection {
 public:
  enum class Access {
    readWrite,  ///< created when missing; opened read-only when the system refuses writing
    readOnly,
    immutable,  ///< read-only, taking the file as it stands (no locks, no write-ahead log)
  };
  explicit Connection(const std::filesystem::path& path, Access access = Access::readWrite);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  /// Runs one or more statements without results.
  void exec(std::string_view sql);
  /// A prepared statement ready to bind, from the cache unless the cached one is in use further up the stack.
  StatementLease statement(const std::string& sql);
  /// The value of the first column of the first row of `sql`, or std::monostate.
  Value scalar(const std::string& sql);
  /// Rows changed by the last insert, update or delete.
  int changes() const;
  /// The rowid of the last row inserted.
  std::int64_t lastInsertRowid() const;
  /// Whether the file was opened (or fell back to) read-only.
  bool isReadOnly() const;
  /// Whether the file was removed, or another put in its place, since it was opened (one stat of its name).
  bool fileMoved() const;
  /// Closing will not fold the write-ahead log into the file, so a file this program must not change keeps its
  /// bytes.
  void keepFileOnClose();
  /// Forgets the cached statements (needed before tables are dropped or altered).
  void clearStatementCache();

 private:
  sqlite3* db_ = nullptr;
  struct Cached {
    std::unique_ptr<Statement> statement;
    bool busy = false;
  };
  // Hashed: statements sharing long prefixes make ordered comparisons slow, and nodes keep leases' flags in place.
  std::unordered_map<std::string, Cached> cache_;
};

/// The path for a "file:" URI: every byte outside the unreserved set percent-encoded.
std::string uriPath(const std::filesystem::path& path);

/// A name as an SQL identifier: in double quotes, inner quotes doubled.
std::string quoteIdentifier(std::string_view name);

}  // namespace tilvane::store::detail
