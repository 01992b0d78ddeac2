#include "crashreporting/platform/SystemLog.h"

#include <algorithm>
#include <cstdio>

namespace crashreporting {
namespace {
std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}
SystemLog::Sink& currentSink() {
  static SystemLog::Sink sink;
  return sink;
}
}  // namespace

void SystemLog::write(std::string_view line) {
  Sink sink;
  {
    const std::lock_guard lock(sinkMutex());
    sink = currentSink();
  }
  if (sink) {
    sink(line);
  } else {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
}

SystemLog::Sink SystemLog::setSink(Sink sink) {
  const std::lock_guard lock(sinkMutex());
  std::swap(currentSink(), sink);
  return sink;
}

SystemLog::Capture::Capture() {
  previous_ = setSink([lines = lines_](std::string_view line) {
    const std::lock_guard lock(lines->mutex);
    lines->lines.emplace_back(line);
  });
}

SystemLog::Capture::~Capture() { setSink(std::move(previous_)); }

std::vector<std::string> SystemLog::Capture::lines() const {
  const std::lock_guard lock(lines_->mutex);
  return lines_->lines;
}

std::size_t SystemLog::Capture::count(std::string_view line) const {
  const std::lock_guard lock(lines_->mutex);
  return static_cast<std::size_t>(std::count(lines_->lines.begin(), lines_->lines.end(), line));
}

}  // namespace crashreporting
