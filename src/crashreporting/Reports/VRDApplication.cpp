#include "crashreporting/Reports/VRDApplication.h"

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>

#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/platform/MainBundle.h"

extern char** environ;

namespace crashreporting {

namespace {

std::atomic<int> activities{0};

bool keepsProcess(std::uint64_t options) {
  return (options & (VRDActivitySuddenTerminationDisabled | VRDActivityAutomaticTerminationDisabled)) != 0;
}

}  // namespace

std::optional<std::string> VRDApplicationExtensionPointIdentifier() {
  const auto bundle = MainBundle::get();
  const Value* extension = bundle ? bundle->objectForInfoDictionaryKey("NSExtension") : nullptr;
  if (extension == nullptr) return std::nullopt;
  if (extension->get<Dictionary>() == nullptr) {
    VRDLogWarn("Error: NSExtension Info.plist entry is mal-formed\n");
    return std::nullopt;
  }
  const Value* identifier = extension->member("NSExtensionPointIdentifier");
  if (identifier == nullptr) return std::nullopt;
  if (identifier->get<std::string>() == nullptr) {
    VRDLogWarn("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n");
    return std::nullopt;
  }
  return *identifier->get<std::string>();
}

bool VRDApplicationIsExtension() { return VRDApplicationExtensionPointIdentifier().has_value(); }

void VRDApplicationOpenURL(const std::string& url, const VRDURLOpener& opener,
                           std::function<void(bool)> completion) {
  if (opener) return opener(url, std::move(completion));
  char program[] = "xdg-open";
  std::string argument = url;
  char* argv[] = {program, argument.data(), nullptr};
  pid_t child = 0;
  bool opened = posix_spawnp(&child, program, nullptr, nullptr, argv, environ) == 0;
  if (opened) {
    int status = 0;
    opened = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  if (completion) completion(opened);
}

std::optional<VRDActivityToken> VRDApplicationBeginActivity(std::uint64_t options, const std::string& reason) {
  if (keepsProcess(options)) ++activities;
  return VRDActivityToken{options, reason};
}

void VRDApplicationEndActivity(const std::optional<VRDActivityToken>& token) {
  if (token && keepsProcess(token->options)) --activities;
}

void VRDApplicationActivity(std::uint64_t options, const std::string& reason, const std::function<void()>& block) {
  const auto token = VRDApplicationBeginActivity(options, reason);
  block();
  VRDApplicationEndActivity(token);
}

int VRDApplicationActivitiesInProgress() { return activities.load(); }

std::optional<std::string> VRDApplicationGetBundleIdentifier() { return ZIZApplicationGetBundleIdentifier(); }
std::optional<std::string> VRDApplicationGetBuildVersion() { return ZIZApplicationGetBuildVersion(); }
std::optional<std::string> VRDApplicationGetDisplayVersion() { return ZIZApplicationGetDisplayVersion(); }
std::optional<std::string> VRDApplicationGetName() { return ZIZApplicationGetName(); }

}  // namespace crashreporting
