#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilvane::x11 {

/// The value of `name` in the environment process `pid` was started with (/proc/<pid>/environ, at most its
/// first MiB read); absent when it has none, or the environment cannot be read (gone, another user's). A process
/// in the middle of an exec is read once its new image has its environment.
std::optional<std::string> startEnvironmentValue(pid_t pid, std::string_view name);

/// The parent of process `pid` (0: none); absent when it is unknown or `pid` has ended.
std::optional<pid_t> parentProcessId(pid_t pid);

/// The session of process `pid` (its leader's process id); absent when it is unknown or `pid` has ended.
std::optional<pid_t> sessionId(pid_t pid);

/// When process `pid` started, in seconds on the boot clock, to the kernel's tick; absent when unknown.
std::optional<double> processStartSeconds(pid_t pid);

/// The processes running now (/proc), in no set order.
std::vector<pid_t> runningProcesses();

/// Now on the boot clock, cut to the kernel's tick: a process that starts later never reads as earlier.
double bootClockSeconds();

}  // namespace tilvane::x11
