#pragma once

#include <string>
#include <vector>

namespace tilvane {

/// The instance a start hands its request to, or becomes.
struct InstanceChoice {
  /// The instance's name (ipc::instanceName); empty when there is a problem.
  std::string name;
  /// Why the request has nowhere to go, in a sentence; empty when it has.
  std::string problem;
};

/// A start on a desktop (`desktop`, see servedDesktop) goes to that desktop's instance. A start that names no
/// desktop (no DISPLAY: a script, cron, an ssh shell) cannot run one of its own: its request goes to the user's
/// instance when exactly one of `running` (ipc::runningInstances) runs; with several it cannot tell which one
/// is meant, and with none there is no one to take it.
InstanceChoice chooseInstance(const std::string& desktop, const std::vector<std::string>& running);

}  // namespace tilvane
