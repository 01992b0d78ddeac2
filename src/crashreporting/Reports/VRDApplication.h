#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Facts about the host application for the crash kit, and the process activity that keeps the host from being
// ended while reports are processed.

namespace crashreporting {

/// The information entry "NSExtension" → "NSExtensionPointIdentifier"; none when absent or mal-formed (logged).
std::optional<std::string> VRDApplicationExtensionPointIdentifier();
bool VRDApplicationIsExtension();

/// Opens `url` with `opener` when given, else with the desktop's opener ("xdg-open"); `completion` gets whether
/// it was handed over.
using VRDURLOpener = std::function<void(const std::string& url, std::function<void(bool)> completion)>;
void VRDApplicationOpenURL(const std::string& url, const VRDURLOpener& opener, std::function<void(bool)> completion);

/// Bits of the activity options.
inline constexpr std::uint64_t VRDActivitySuddenTerminationDisabled = 0x4000;
inline constexpr std::uint64_t VRDActivityAutomaticTerminationDisabled = 0x8000;

struct VRDActivityToken {
  std::uint64_t options = 0;
  std::string reason;
};
/// Starts an activity. Linux has no sudden or automatic termination to switch off: an activity that asks for
/// either is counted, so a host can hold its exit while one is in progress.
std::optional<VRDActivityToken> VRDApplicationBeginActivity(std::uint64_t options, const std::string& reason);
void VRDApplicationEndActivity(const std::optional<VRDActivityToken>& token);
/// Begin, run `block`, end.
void VRDApplicationActivity(std::uint64_t options, const std::string& reason, const std::function<void()>& block);
/// Activities that keep the process from being ended now in progress.
int VRDApplicationActivitiesInProgress();

std::optional<std::string> VRDApplicationGetBundleIdentifier();
std::optional<std::string> VRDApplicationGetBuildVersion();
std::optional<std::string> VRDApplicationGetDisplayVersion();
std::optional<std::string> VRDApplicationGetName();

}  // namespace crashreporting
