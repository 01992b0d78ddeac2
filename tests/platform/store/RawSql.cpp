#include "platform/store/RawSql.h"

#include <sqlite3.h>

#include <stdexcept>

namespace tilvane::store::test {
namespace {

struct Handle {
  explicit Handle(const std::filesystem::path& file) {
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + file.string());
  }
  ~Handle() { sqlite3_close(db); }
  sqlite3* db = nullptr;
};

}  // namespace

void execSql(const std::filesystem::path& file, const std::string& sql) {
  Handle h(file);
  char* message = nullptr;
  if (sqlite3_exec(h.db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string what = message ? message : "?";
    sqlite3_free(message);
    throw std::runtime_error(what);
  }
}

std::string querySql(const std::filesystem::path& file, const std::string& sql) {
  Handle h(file);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(h.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(h.db));
  std::string result;
  if (sqlite3_step(stmt) == SQLITE_ROW)
    if (const auto* text = sqlite3_column_text(stmt, 0)) result = reinterpret_cast<const char*>(text);
  sqlite3_finalize(stmt);
  return result;
}

}  // namespace tilvane::store::test
