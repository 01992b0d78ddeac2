#pragma once

#include <filesystem>
#include <string>

namespace tilvane::store::test {

/// Runs SQL on a file directly, bypassing the store (to make files as other versions left them, or to look
/// at what is on disk): the first column of the first row, "" when there is none. Throws on an SQL error.
std::string querySql(const std::filesystem::path& file, const std::string& sql);
inline void execSql(const std::filesystem::path& file, const std::string& sql) { querySql(file, sql); }

}  // namespace tilvane::store::test
