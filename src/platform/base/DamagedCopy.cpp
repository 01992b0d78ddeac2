#include "platform/base/DamagedCopy.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace tilvane {
namespace {

bool sameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::ifstream left(a, std::ios::binary);
  std::ifstream right(b, std::ios::binary);
  if (!left || !right) return false;
  std::vector<char> one(65536);
  std::vector<char> two(65536);
  for (;;) {
    left.read(one.data(), one.size());
    right.read(two.data(), two.size());
    const std::streamsize n = left.gcount();
    if (n != right.gcount() || !std::equal(one.begin(), one.begin() + n, two.begin())) return false;
    if (left.bad() || right.bad()) return false;
    if (n < static_cast<std::streamsize>(one.size())) return true;
  }
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
  return file.parent_path().empty() ? "." : file.parent_path();
}

std::filesystem::path recordOf(const std::filesystem::path& file) { return file.string() + ".damage-kept"; }

/// A copy named in the record that holds `size` bytes equal to `file`'s; empty when none does.
std::filesystem::path notedCopy(const std::filesystem::path& file, std::uintmax_t size) {
  std::ifstream record(recordOf(file));
  std::string name;
  while (std::getline(record, name)) {
    const std::filesystem::path copy = folderOf(file) / name;
    std::error_code ec;
    if (name.empty() || !std::filesystem::is_regular_file(copy, ec) || std::filesystem::file_size(copy, ec) != size ||
        ec)
      continue;
    if (sameBytes(file, copy)) return copy;
  }
  return {};
}

}  // namespace

std::filesystem::path damagedCopyName(const std::filesystem::path& file, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return file.string() + ".damaged-" + stamp;
}

std::filesystem::path keptDamagedCopy(const std::filesystem::path& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec) return {};
  if (auto noted = notedCopy(file, size); !noted.empty()) return noted;
  const auto written = std::filesystem::last_write_time(file, ec);
  if (ec) return {};
  const std::string prefix = file.filename().string() + ".damaged-";
  std::filesystem::directory_iterator it(folderOf(file), ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::filesystem::path& copy = it->path();
    if (copy.filename().string().rfind(prefix, 0) != 0) continue;
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError) || it->file_size(sizeError) != size || sizeError) continue;
    // A copy older than the file's last write is of an earlier damage, however alike.
    if (it->last_write_time(sizeError) < written || sizeError) continue;
    if (sameBytes(file, copy)) return copy;
  }
  return {};
}

void noteDamagedCopy(const std::filesystem::path& file, const std::filesystem::path& copy) {
  std::ofstream(recordOf(file), std::ios::app) << copy.filename().string() << '\n';
}

void forgetDamagedCopies(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(recordOf(file), ec);
}

}  // namespace tilvane
