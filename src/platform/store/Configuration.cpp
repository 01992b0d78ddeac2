#include "platform/store/Configuration.h"

#include <mutex>
#include <optional>

#include "platform/base/SharedInstance.h"
#include "platform/base/XdgPaths.h"

namespace tilvane::store {
namespace {

struct DefaultSlot {
  std::mutex mutex;
  std::optional<Configuration> configuration;  // absent: a fresh plain one at each request
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

void Configuration::setDefaultConfiguration(Configuration configuration) {
  auto& s = slot();
  std::lock_guard lock(s.mutex);
  s.configuration = std::move(configuration);
}

void Configuration::resetDefaultConfiguration() {
  auto& s = slot();
  std::lock_guard lock(s.mutex);
  s.configuration.reset();
}

}  // namespace tilvane::store
