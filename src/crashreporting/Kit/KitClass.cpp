#include "crashreporting/Kit/KitClass.h"

#include <map>
#include <mutex>

namespace crashreporting {
namespace {
std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, const KitClass*, std::less<>>& registry() {
  static std::map<std::string, const KitClass*, std::less<>> classes;
  return classes;
}
}  // namespace

void KitClassRegistry::registerClass(const KitClass& kitClass) {
  const std::lock_guard lock(registryMutex());
  registry().insert_or_assign(kitClass.name, &kitClass);
}

void KitClassRegistry::unregisterClass(const KitClass& kitClass) {
  const std::lock_guard lock(registryMutex());
  if (const auto it = registry().find(kitClass.name); it != registry().end() && it->second == &kitClass)
    registry().erase(it);
}

const KitClass* KitClassRegistry::classNamed(std::string_view name) {
  const std::lock_guard lock(registryMutex());
  const auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second;
}

void KitClassRegistry::reset() {
  const std::lock_guard lock(registryMutex());
  registry().clear();
}

}  // namespace crashreporting
