#include "crashreporting/VizuzodKit/VZDDamage.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxDamagedItems = 10;

}  // namespace

std::optional<fs::path> VZDSetAsideDamagedItem(const fs::path& analyticsRoot, const fs::path& item,
                                              const std::string& why) {
  const fs::path folder = analyticsRoot / "damaged";
  std::error_code error;
  fs::create_directories(folder, error);
  // Name order is age order: a fixed-width time first, then the process and its count.
  static std::atomic<std::uint32_t> sequence{0};
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%016lld-%07d-%06u-", static_cast<long long>(now.count()),
                static_cast<int>(::getpid()), static_cast<unsigned>(sequence++));
  const fs::path kept = folder / (stamp + item.filename().string());
  if (!error) fs::rename(item, kept, error);
  if (error) {
    SystemLog::write("[Vizuzod] WARNING: damaged '" + item.string() + "': " + why + "; it cannot be set aside (" +
                     error.message() + ")");
    return std::nullopt;
  }
  SystemLog::write("[Vizuzod] WARNING: damaged '" + item.string() + "': " + why + "; kept aside as '" + kept.string() +
                   "', not sent");
  std::vector<fs::path> items;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) items.push_back(it->path());
  std::sort(items.begin(), items.end());
  for (std::size_t i = 0; i + kMaxDamagedItems < items.size(); ++i) {
    std::error_code ignored;
    fs::remove_all(items[i], ignored);
  }
  return kept;
}

}  // namespace crashreporting
