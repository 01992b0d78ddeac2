#include "AppManager/Settings/LayoutAllTarget.h"

#include <mutex>

#include "platform/base/SharedInstance.h"

namespace tilvane {
namespace {
LayoutAllTarget*& slot() {
  static LayoutAllTarget* target = nullptr;
  return target;
}
}  // namespace

LayoutAllTarget::Scope::Scope(LayoutAllTarget& target) : previous_(slot()) {
  // A test's fresh world must not reach a target left by an earlier one.
  static std::once_flag registered;
  std::call_once(registered, [] { SharedInstances::registerReset(&LayoutAllTarget::reset); });
  slot() = &target;
}

LayoutAllTarget::Scope::~Scope() { slot() = previous_; }

LayoutAllTarget* LayoutAllTarget::installed() { return slot(); }

void LayoutAllTarget::reset() { slot() = nullptr; }

}  // namespace tilvane
