#include "Layout/WindowIndex/WindowIndexRegistry.h"

#include <algorithm>

#include "platform/base/SharedInstance.h"
#include "platform/desktop/WindowBundleIdentifier.h"

namespace tilvane {
namespace {
// The process-wide slot of the registry in use, resettable with every shared instance.
struct CurrentRegistry {
  std::shared_ptr<WindowIndexRegistry> registry = std::make_shared<WindowIndexRegistry>();
};
}  // namespace

std::int64_t WindowIndexRegistry::lowestFreeIndex(const std::string& bundleIdentifier) const {
  const auto it = lists_.find(bundleIdentifier);
  if (it == lists_.end() || it->second.empty()) return 0;
  const auto& list = it->second;
  if (list.front() != 0) return 0;
  // Sorted and distinct from 0: the held prefix is where each index equals its position, found by halving
  // (asked at every admission, of applications with a thousand windows too).
  std::size_t low = 1, high = list.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (list[mid] == static_cast<std::int64_t>(mid))
      low = mid + 1;
    else
      high = mid;
  }
  return static_cast<std::int64_t>(low);
}

std::int64_t WindowIndexRegistry::nextFreeIndex(const std::string& bundleIdentifier, std::int64_t from) const {
  if (from <= 0) return lowestFreeIndex(bundleIdentifier);
  const auto it = lists_.find(bundleIdentifier);
  if (it == lists_.end()) return from;
  for (auto at = std::lower_bound(it->second.begin(), it->second.end(), from); at != it->second.end() && *at == from;
       ++at)
    ++from;
  return from;
}

bool WindowIndexRegistry::isHeld(const std::string& bundleIdentifier, std::int64_t index) const {
  const auto it = lists_.find(bundleIdentifier);
  return it != lists_.end() && std::binary_search(it->second.begin(), it->second.end(), index);
}

void WindowIndexRegistry::claim(const std::string& bundleIdentifier, std::int64_t index) {
  auto& list = lists_[bundleIdentifier];
  const auto at = std::lower_bound(list.begin(), list.end(), index);
  if (at == list.end() || *at != index) list.insert(at, index);
}

void WindowIndexRegistry::release(const std::string& bundleIdentifier, std::int64_t index) {
  const auto it = lists_.find(bundleIdentifier);
  if (it == lists_.end()) return;
  const auto at = std::find(it->second.begin(), it->second.end(), index);
  if (at != it->second.end()) it->second.erase(at);
}

std::optional<std::vector<std::int64_t>> WindowIndexRegistry::indexes(const std::string& bundleIdentifier) const {
  const auto it = lists_.find(bundleIdentifier);
  if (it == lists_.end()) return std::nullopt;
  return it->second;
}

std::shared_ptr<WindowIndexRegistry> WindowIndexRegistry::current() {
  return SharedInstance<CurrentRegistry>::get().registry;
}

void WindowIndexRegistry::replaceCurrent() {
  SharedInstance<CurrentRegistry>::get().registry = std::make_shared<WindowIndexRegistry>();
}

std::int64_t WindowIndexRegistry::registeredWindowIndexes(const SIWindow& window) {
  const auto bundle = bundleIdentifierOfWindow(window);
  return bundle ? current()->lowestFreeIndex(*bundle) : 0;
}

std::optional<WindowIndexRegistry::Claim> WindowIndexRegistry::claimWindowIndex(const SIWindow& window,
                                                                                std::int64_t index) {
  const auto bundle = bundleIdentifierOfWindow(window);
  if (!bundle) return std::nullopt;
  return claimWindowIndex(*bundle, index);
}

WindowIndexRegistry::Claim WindowIndexRegistry::claimWindowIndex(const std::string& bundleIdentifier,
                                                                std::int64_t index) {
  auto registry = current();
  registry->claim(bundleIdentifier, index);
  return Claim{registry, bundleIdentifier, index};
}

void WindowIndexRegistry::releaseWindowIndex(const Claim& claim) {
  if (auto registry = claim.registry.lock()) registry->release(claim.bundleIdentifier, claim.index);
}

}  // namespace tilvane
