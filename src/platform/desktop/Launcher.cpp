#include "platform/desktop/Launcher.h"

#include "platform/desktop/Desktop.h"

namespace tilvane {
namespace {

/// The launcher of a backend that cannot start anything.
class RefusingLauncher final : public Launcher {
 public:
  bool launch(const LaunchRequest&) override { return false; }
};

bool launchThroughDesktop(const LaunchRequest& request) {
  Desktop* desktop = Desktop::current();
  if (!desktop || request.application.empty()) return false;
  return desktop->launcher().launch(request);
}

}  // namespace

Launcher& Desktop::launcher() {
  // Stateless, so one instance can serve every backend without a launcher of its own.
  static RefusingLauncher refusing;
  return refusing;
}

bool NSTask::launchedTaskWithLaunchPath(std::string_view launchPath, const std::vector<std::string>& arguments) {
  if (launchPath != kOpenToolPath || arguments.size() < 2) return false;
  LaunchRequest request;
  if (arguments[0] == "-a")
    request.target = LaunchTarget::path;
  else if (arguments[0] == "-b")
    request.target = LaunchTarget::bundleIdentifier;
  else
    return false;
  request.application = arguments[1];
  request.arguments.assign(arguments.begin() + 2, arguments.end());
  request.viaOpenTool = true;
  return launchThroughDesktop(request);
}

bool NSWorkspaceLaunch::launchApplication(const std::string& path) {
  return launchThroughDesktop(LaunchRequest{LaunchTarget::path, path, {}, false});
}

bool NSWorkspaceLaunch::launchAppWithBundleIdentifier(const std::string& bundleIdentifier) {
  return launchThroughDesktop(LaunchRequest{LaunchTarget::bundleIdentifier, bundleIdentifier, {}, false});
}

}  // namespace tilvane
