#pragma once

#include <filesystem>
#include <string>

namespace tilvane::store::test {

/// Runs SQL on a file directly, bypassing the store: to make files as other versions would have left them.
void execSql(const std::filesystem::path& file, const std::string& sql);
/// The first column of the first row of `sql` as text ("" when there is none).
std::string querySql(const std::filesystem::path& file, const std::string& sql);

}  // namespace tilvane::store::test
