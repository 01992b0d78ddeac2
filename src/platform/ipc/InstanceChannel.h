#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ipc/InstanceLock.h"

namespace tilvane::ipc {

/// The longest message a start may hand over; longer ones are refused before anything is sent.
inline constexpr std::size_t kMaxMessage = 8 * 1024;
/// What the running instance answers once it has a whole message and will act on it.
inline constexpr std::string_view kTakenReply = "ok\n";
/// How long a start keeps trying to reach a running instance that is starting, busy or stopped.
inline constexpr double kHandOverPatience = 5.0;

/// The name of the instance that serves `desktop` (an X display's identity, "sim", or "" for the one instance of
/// the user): "tilvane", or "tilvane-" and the desktop with anything but letters, digits and ".:-_" made "_".
std::string instanceName(std::string_view desktop);
inline constexpr std::string_view kDefaultInstance = "tilvane";

/// The names of the instances that run in `folder` (their desktops' instances, "tilvane-…"): those whose lock a
/// process holds, in name order. Looking takes each lock for a moment (shared): a start that meets it then tries
/// again, as it does while a holder ends.
std::vector<std::string> runningInstances(const std::filesystem::path& folder);

/// <name>.socket and <name>.lock in `folder`.
std::filesystem::path instanceSocketIn(const std::filesystem::path& folder, std::string_view name = kDefaultInstance);
std::filesystem::path instanceLockIn(const std::filesystem::path& folder, std::string_view name = kDefaultInstance);
/// The same in the user's runtime folder (xdg::runtimeDir); empty when no safe place exists.
std::filesystem::path instanceSocketPath(std::string_view name = kDefaultInstance);
std::filesystem::path instanceLockPath(std::string_view name = kDefaultInstance);

/// Hands `message` to the instance listening on `socket` and waits up to `seconds` for it to take it: true only
/// when the instance answered that it took the message. A message the instance has not taken when the time is
/// up is withdrawn: the instance will not act on it later. `error` says why it was not delivered.
bool sendToRunningInstance(const std::filesystem::path& socket, std::string_view message, double seconds,
                           std::string& error);

/// What a start of the program comes to: it holds the instance lock (and is the instance), or the instance that
/// holds it took the message, or neither, and `error` says why.
struct InstanceClaim {
  std::unique_ptr<InstanceLock> lock;
  bool delivered = false;
  std::string error;
};

/// Takes the lock of instance `name` in `folder`, or hands `message` to the holder. While the holder cannot take
/// it (starting, busy, stopped, or ending) both are tried again, with growing pauses, for `patience` seconds.
InstanceClaim claimInstance(const std::filesystem::path& folder, std::string_view message,
                            double patience = kHandOverPatience, std::string_view name = kDefaultInstance);

}  // namespace tilvane::ipc
