#include "crashreporting/Reports/VRDInternalReport.h"

#include <filesystem>

#include "crashreporting/Capture/VRDFileReader.h"
#include "crashreporting/platform/Immortal.h"
#include "crashreporting/platform/SystemLog.h"

namespace fs = std::filesystem;

namespace crashreporting {

namespace {

bool exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

std::optional<VRDDate> VRDDateFromSeconds(const Value* seconds) {
  if (seconds == nullptr) return std::nullopt;
  const auto* whole = seconds->get<std::int64_t>();
  if (whole == nullptr || *whole < 0) return std::nullopt;
  return VRDDate(std::chrono::seconds(*whole));
}

VRDInternalReport::VRDInternalReport(std::string path, std::string identifier)
    : identifier_(std::move(identifier)), path_(std::move(path)) {}

std::optional<VRDInternalReport> VRDInternalReport::reportWithPath(const std::string& path) {
  if (path.empty()) return std::nullopt;
  VRDInternalReport report(path, fs::path(path).filename().string());
  if (auto identifier = report.metadataString("identity", "session_id"); identifier && !identifier->empty()) {
    report.identifier_ = std::move(*identifier);
  } else {
    SystemLog::write("[Vuveradarad:Crash] Unable to read identifier at path " + path);
  }
  if (report.identifier_.empty()) return std::nullopt;
  return report;
}

std::optional<VRDInternalReport> VRDInternalReport::reportWithPath(const std::string& path,
                                                                   const std::string& identifier) {
  if (path.empty() || identifier.empty()) return std::nullopt;
  return VRDInternalReport(path, identifier);
}

std::string VRDInternalReport::directoryName() const { return fs::path(path_).filename().string(); }

std::string VRDInternalReport::pathForContentFile(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::optional<Array> VRDInternalReport::readVRDFileAtPath(const std::string& path) {
  auto sections = VRDFileReadSections(path.c_str(), false);
  if (!sections || sections->empty()) return std::nullopt;
  return sections;
}

bool VRDInternalReport::needsToBeSubmitted() const {
  // Read by the controller's work queue, which may still triage a report while the process exits.
  static const Immortal<std::vector<std::string>> names([] {
    return std::vector<std::string>{"exception.vrdrecord",
                                    "signal.vrdrecord",
                                    "custom_exception_a.vrdrecord",
                                    "custom_exception_b.vrdrecord",
                                    "mach_exception.vrdrecord",
                                    "errors_a.vrdrecord",
                                    "errors_b.vrdrecord"};
  });
  return checkExistenceOfAtLeastOneFileInArray(names.get());
}

const std::vector<std::string>& VRDInternalReport::crashFilenames() {
  static const Immortal<std::vector<std::string>> names([] {
    return std::vector<std::string>{"exception.vrdrecord", "mach_exception.vrdrecord", "signal.vrdrecord"};
  });
  return names.get();
}

bool VRDInternalReport::isCrash() const { return checkExistenceOfAtLeastOneFileInArray(crashFilenames()); }

bool VRDInternalReport::checkExistenceOfAtLeastOneFileInArray(const std::vector<std::string>& names) const {
  for (const std::string& name : names) {
    if (exists(pathForContentFile(name))) return true;
  }
  return false;
}

void VRDInternalReport::enumerateSymbolicatableFilesInContent(
    const std::function<void(const std::string& path)>& block) const {
  for (const std::string& name : crashFilenames()) block(pathForContentFile(name));
}

const Array& VRDInternalReport::metadataSections() const {
  if (metadataSections_) return *metadataSections_;
  const FileContents contents = VRDFileReadWhole(metadataPath());
  // A passing failure says nothing of the file: it is read again when next asked, never taken for an empty one.
  if (failedForNow(contents)) {
    metadataNotNow_ = contents.error;
    static const Immortal<Array> none([] { return Array{}; });
    return none.get();
  }
  metadataNotNow_.reset();
  metadataSections_ = contents.ok() ? VRDFileSections(contents.bytes) : Array{};
  return *metadataSections_;
}

std::optional<std::string> VRDInternalReport::metadataUnreadableNow() const {
  metadataSections();
  return metadataNotNow_;
}

const Value* VRDInternalReport::metadataValue(std::string_view section, std::string_view key) const {
  // By key, not by line: a missing or torn line must not shift the values of the lines after it.
  for (const Value& line : metadataSections()) {
    if (const Value* object = line.member(section)) return object->member(key);
  }
  return nullptr;
}

std::optional<std::string> VRDInternalReport::metadataString(std::string_view section,
                                                             std::string_view key) const {
  const Value* value = metadataValue(section, key);
  if (value == nullptr || value->get<std::string>() == nullptr) return std::nullopt;
  return *value->get<std::string>();
}

std::optional<std::string> VRDInternalReport::APIKey() const { return metadataString("identity", "api_key"); }
std::optional<std::string> VRDInternalReport::bundleVersion() const {
  return metadataString("application", "build_version");
}
std::optional<std::string> VRDInternalReport::bundleShortVersionString() const {
  return metadataString("application", "display_version");
}
std::optional<std::string> VRDInternalReport::OSVersion() const {
  return metadataString("host", "os_display_version");
}
std::optional<std::string> VRDInternalReport::OSBuildVersion() const {
  return metadataString("host", "os_build_version");
}
std::optional<VRDDate> VRDInternalReport::dateCreated() const {
  return VRDDateFromSeconds(metadataValue("identity", "started_at"));
}

std::optional<VRDDate> VRDInternalReport::crashedOnDate() const {
  if (!isCrash()) return std::nullopt;
  if (auto date = timeFromCrashContentFile("mach_exception.vrdrecord", "mach_exception")) return date;
  return timeFromCrashContentFile("signal.vrdrecord", "signal");
}

std::optional<VRDDate> VRDInternalReport::timeFromCrashContentFile(const std::string& file,
                                                                   const std::string& section) const {
  const std::string path = pathForContentFile(file);
  if (!exists(path)) return std::nullopt;
  const auto sections = readVRDFileAtPath(path);
  if (!sections) return std::nullopt;
  const Value* object = sections->front().member(section);
  return object ? VRDDateFromSeconds(object->member("time")) : std::nullopt;
}

}  // namespace crashreporting
