#include "crashreporting/platform/ExitWait.h"

#include <unistd.h>

#include <cstdlib>

#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {
namespace {

void runAtExit() {
  if (!Shared<ExitWait>::exists()) return;
  Shared<ExitWait>::get().run(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(ExitWait::kSeconds)));
}

}  // namespace

ExitWait& ExitWait::shared() {
  static std::once_flag registered;
  std::call_once(registered, [] { std::atexit(runAtExit); });
  return Shared<ExitWait>::get();
}

void ExitWait::add(Part part) {
  const std::lock_guard lock(mutex_);
  parts_.push_back({std::move(part), ::getpid()});
}

bool ExitWait::run(std::chrono::steady_clock::duration bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::vector<Part> parts;
  {
    const std::lock_guard lock(mutex_);
    for (const auto& added : parts_)
      if (added.process == ::getpid()) parts.push_back(added.part);
  }
  for (const auto& part : parts)
    if (part.stop) part.stop();
  bool all = true;
  for (const auto& part : parts)
    if (part.finish && !part.finish(deadline)) all = false;
  return all;
}

}  // namespace crashreporting
