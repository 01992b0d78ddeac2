#include "platform/store/RawSql.h"

#include <sqlite3.h>

#include <optional>
#include <stdexcept>

namespace tilvane::store::test {

std::string querySql(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  std::optional<std::string> first;
  char* message = nullptr;
  int rc = sqlite3_open(file.c_str(), &db);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int, char** values, char**) {
          auto& kept = *static_cast<std::optional<std::string>*>(out);
          if (!kept) kept = values[0] ? values[0] : "";
          return 0;
        },
        &first, &message);
  const std::string error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw std::runtime_error(error);
  return first.value_or("");
}

}  // namespace tilvane::store::test
