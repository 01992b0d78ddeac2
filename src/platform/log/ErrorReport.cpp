#include "platform/log/ErrorReport.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace tilvane::log {
namespace {
std::mutex mutex;
std::function<void(Level, std::string_view)>& reporter() {
  static std::function<void(Level, std::string_view)> r;
  return r;
}
}  // namespace

void report(Level level, std::string_view message) {
  std::function<void(Level, std::string_view)> handler;
  {
    std::lock_guard lock(mutex);
    handler = reporter();
  }
  if (handler) {
    handler(level, message);
  } else {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
  }
}

void setReporter(std::function<void(Level, std::string_view)> r) {
  std::lock_guard lock(mutex);
  reporter() = std::move(r);
}

}  // namespace tilvane::log
