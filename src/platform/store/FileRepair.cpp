#include "platform/store/FileRepair.h"

#include <sqlite3.h>

#include <cerrno>
#include <memory>
#include <set>
#include <system_error>

#include "platform/store/Database.h"
#include "platform/store/StoreError.h"
#include "platform/store/detail/Sql.h"

namespace tilvane::store {
namespace {

namespace fs = std::filesystem;
using detail::quoteIdentifier;

// Below this a writer cannot even make the write-ahead log's index.
constexpr std::uintmax_t kFullBelow = 128 * 1024;

struct Close {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Handle = std::unique_ptr<sqlite3, Close>;

struct Finalize {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, Finalize>;

Handle openRaw(const std::string& name, int flags, int& code) {
  sqlite3* raw = nullptr;
  code = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
  Handle db(raw);
  if (code == SQLITE_OK) sqlite3_extended_result_codes(raw, 1);
  return db;
}

Stmt prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) return nullptr;
  return Stmt(raw);
}

bool exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

bool isDamageCode(int code) { return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB; }

// The column names of `table` in `schema` ("main" or "old"), in order; none when it cannot be read.
std::vector<std::string> columnsOf(sqlite3* db, const std::string& schema, const std::string& table) {
  std::vector<std::string> columns;
  const auto info = prepare(db, "PRAGMA " + schema + ".table_info(" + quoteIdentifier(table) + ")");
  if (!info) return columns;
  while (sqlite3_step(info.get()) == SQLITE_ROW)
    if (const auto* name = sqlite3_column_text(info.get(), 1)) columns.emplace_back(reinterpret_cast<const char*>(name));
  return columns;
}

void copyAside(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (!ec) return;
  fs::remove(to);
  const bool full = ec == std::errc::no_space_on_device || isDiskFull(to.parent_path());
  throw Error("cannot copy \"" + from.string() + "\" to \"" + to.string() + "\": " + ec.message(),
              full ? Failure::diskFull : Failure::cannotOpen);
}

void removeWithCompanions(const fs::path& file) {
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(fs::path(file.string() + suffix), ec);
}

}  // namespace

FileCheck checkFile(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return {ec ? FileState::unknown : FileState::missing, ec ? ec.message() : ""};
  int code = SQLITE_OK;
  const Handle db = openRaw(file.string(), SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, code);
  if (code != SQLITE_OK)
    return {isDamageCode(code) ? FileState::damaged : FileState::unknown, db ? sqlite3_errmsg(db.get()) : "no memory"};
  const auto check = prepare(db.get(), "PRAGMA quick_check");
  if (!check) {
    const int why = sqlite3_extended_errcode(db.get());
    return {isDamageCode(why) ? FileState::damaged : FileState::unknown, sqlite3_errmsg(db.get())};
  }
  const int step = sqlite3_step(check.get());
  if (step != SQLITE_ROW) {
    const int why = sqlite3_extended_errcode(db.get());
    return {isDamageCode(why) ? FileState::damaged : FileState::unknown, sqlite3_errmsg(db.get())};
  }
  const auto* first = sqlite3_column_text(check.get(), 0);
  const std::string verdict = first ? reinterpret_cast<const char*>(first) : "";
  if (verdict == "ok") return {FileState::sound, ""};
  return {FileState::damaged, verdict};
}

RebuildResult rebuildDamagedFile(const Configuration& configuration, const fs::path& copy) {
  const fs::path file = configuration.fileURL;
  copyAside(file, copy);
  if (const fs::path wal = file.string() + "-wal"; fs::exists(wal)) copyAside(wal, copy.string() + "-wal");

  // The fresh file gets its tables and schema version the usual way, then the old rows.
  const fs::path fresh = file.string() + ".rebuild";
  removeWithCompanions(fresh);
  {
    Configuration made = configuration;
    made.fileURL = fresh;
    made.migrationBlock = nullptr;
    Database::open(made);
  }
  RebuildResult result;
  {
    int code = SQLITE_OK;
    const Handle db = openRaw(fresh.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, code);
    if (code != SQLITE_OK) throw Error("cannot open \"" + fresh.string() + "\" to rebuild the database");
    std::vector<std::string> tables;
    if (const auto list = prepare(db.get(), "SELECT name FROM main.sqlite_master WHERE type = 'table' ORDER BY rowid"))
      while (sqlite3_step(list.get()) == SQLITE_ROW)
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list.get(), 0)));
    const std::string uri = "file:" + detail::uriPath(file) + "?mode=ro";
    for (const auto& table : tables) {
      // Attached afresh for each table: damage met while reading one table is not held against the next.
      bool attached = false;
      if (const auto attach = prepare(db.get(), "ATTACH DATABASE ?1 AS old")) {
        sqlite3_bind_text(attach.get(), 1, uri.c_str(), -1, SQLITE_TRANSIENT);
        attached = sqlite3_step(attach.get()) == SQLITE_DONE;
      }
      const auto wanted = columnsOf(db.get(), "main", table);
      const auto there = attached ? columnsOf(db.get(), "old", table) : std::vector<std::string>{};
      const std::set<std::string> known(there.begin(), there.end());
      std::string columns;
      for (const auto& c : wanted)
        if (known.count(c)) columns += (columns.empty() ? "" : ", ") + quoteIdentifier(c);
      bool copied = false;
      if (!columns.empty()) {
        // A table is carried whole or not at all: a read that meets damage rolls its part back (the whole
        // transaction, since the damaged file's pages are then in doubt).
        exec(db.get(), "BEGIN");
        copied = exec(db.get(), "INSERT OR IGNORE INTO main." + quoteIdentifier(table) + " (" + columns + ") SELECT " +
                                    columns + " FROM old." + quoteIdentifier(table) + " ORDER BY rowid");
        copied = copied && exec(db.get(), "COMMIT");
        if (!copied) exec(db.get(), "ROLLBACK");
      }
      (copied ? result.carried : result.lost).push_back(table);
      if (attached) exec(db.get(), "DETACH DATABASE old");
    }
  }
  // The copy is kept: only now does the damaged file go.
  std::error_code ec;
  for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(fs::path(file.string() + suffix), ec);
  fs::rename(fresh, file, ec);
  if (ec) {
    removeWithCompanions(fresh);
    throw Error("cannot put the rebuilt database in place of \"" + file.string() + "\": " + ec.message(),
                isDiskFull(file.parent_path()) ? Failure::diskFull : Failure::cannotOpen);
  }
  return result;
}

bool isDiskFull(const fs::path& folder) {
  std::error_code ec;
  const auto space = fs::space(folder, ec);
  return !ec && space.available < kFullBelow;
}

}  // namespace tilvane::store
