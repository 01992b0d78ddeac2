#include "crashreporting/platform/ProcessShared.h"

#include <vector>

namespace crashreporting {
namespace {
std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::vector<std::function<void()>>& resets() {
  static std::vector<std::function<void()>> r;
  return r;
}
}  // namespace

void ProcessShared::registerReset(std::function<void()> reset) {
  const std::lock_guard lock(registryMutex());
  resets().push_back(std::move(reset));
}

void ProcessShared::resetAll() {
  std::vector<std::function<void()>> all;
  {
    const std::lock_guard lock(registryMutex());
    all = resets();
  }
  for (auto it = all.rbegin(); it != all.rend(); ++it) (*it)();
}

}  // namespace crashreporting
