#pragma once

#include <functional>

namespace crashreporting {

/// Runs `work` where no exception may go on: a library thread's task, or the host's call into the library's
/// main queue. One that `work` lets out is logged with `where` and ends there.
void runGuarded(const char* where, const std::function<void()>& work) noexcept;

}  // namespace crashreporting
