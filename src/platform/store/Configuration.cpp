#include "platform/store/Configuration.h"

#include <atomic>
#include <mutex>
#include <optional>

#include "platform/base/SharedInstance.h"
#include "platform/base/XdgPaths.h"

namespace tilvane::store {
namespace {

struct DefaultSlot {
  std::mutex mutex;
  std::optional<Configuration> configuration;  // absent: a fresh plain one at each request
  std::uint64_t lastGeneration = 0;
  std::atomic<std::uint64_t> generation{0};
};

DefaultSlot& slot() {
  static DefaultSlot s;
  static std::once_flag registered;
  std::call_once(registered, [] { SharedInstances::registerReset([] { Configuration::resetDefaultConfiguration(); }); });
  return s;
}

}  // namespace

std::filesystem::path Configuration::defaultFileURL() { return xdg::dataHome() / "Tilvane" / "default.sqlite"; }

Configuration Configuration::defaultConfiguration() {
  auto& s = slot();
  std::lock_guard lock(s.mutex);
  // Not value_or: a plain Configuration reads the environment for its file, wasted on every open.
  return s.configuration ? *s.configuration : Configuration{};
}

std::uint64_t Configuration::defaultGeneration() { return slot().generation.load(std::memory_order_acquire); }

void Configuration::setDefaultConfiguration(Configuration configuration) {
  auto& s = slot();
  std::lock_guard lock(s.mutex);
  s.configuration = std::move(configuration);
  s.generation.store(++s.lastGeneration, std::memory_order_release);
}

void Configuration::resetDefaultConfiguration() {
  auto& s = slot();
  std::lock_guard lock(s.mutex);
  s.configuration.reset();
  s.generation.store(0, std::memory_order_release);
}

}  // namespace tilvane::store
