#include "platform/base/SharedInstance.h"

#include <vector>

namespace tilvane {
namespace {
std::vector<std::function<void()>>& resets() {
  static std::vector<std::function<void()>> r;
  return r;
}
}  // namespace

void SharedInstances::registerReset(std::function<void()> reset) { resets().push_back(std::move(reset)); }

void SharedInstances::resetAll() {
  auto& r = resets();
  for (auto it = r.rbegin(); it != r.rend(); ++it) (*it)();
}

}  // namespace tilvane
