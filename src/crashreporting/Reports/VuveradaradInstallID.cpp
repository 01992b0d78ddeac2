// The installation identifier that earlier versions of the library kept in a defaults file of their own: a
// host upgraded from one keeps reporting under its old identifier.
#include "crashreporting/Reports/VRDKitConstants.h"
#include "crashreporting/Reports/Vuveradarad.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/PropertyList.h"
#include "platform/base/XdgPaths.h"

namespace crashreporting {
namespace {

/// The historic defaults' key of the installation identifier.
constexpr const char* kHistoricInstallIDKey = "com.zizozu.vuveradarad.iuuid";
/// A defaults file of a few keys; anything larger is not one.
constexpr std::size_t kMaxHistoricDefaultsBytes = 1024 * 1024;

}  // namespace

std::filesystem::path Vuveradarad::historicDefaultsPath() {
  return tilvane::xdg::dataHome() / kVRDKitBundleIdentifier / "VRDUserDefaults.plist";
}

std::optional<Dictionary> Vuveradarad::attemptToLoadMacHistoricDefaults() {
  // A folder, a missing file or an oversized one reads as failed or absent: no historic defaults.
  const FileContents read = readFileContents(historicDefaultsPath(), kMaxHistoricDefaultsBytes);
  if (!read.ok()) return std::nullopt;
  std::string error;
  return plist::decodeDictionary(read.bytes, error);
}

std::optional<std::string> Vuveradarad::getHistoricInstallID() {
  const auto defaults = attemptToLoadMacHistoricDefaults();
  if (!defaults) return std::nullopt;
  const auto found = defaults->find(kHistoricInstallIDKey);
  if (found == defaults->end()) return std::nullopt;
  const std::string* identifier = found->second.get<std::string>();
  if (!identifier || identifier->empty()) return std::nullopt;
  return *identifier;
}

}  // namespace crashreporting
