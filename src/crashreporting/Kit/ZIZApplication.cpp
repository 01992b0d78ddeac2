#include "crashreporting/Kit/ZIZApplication.h"

#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "crashreporting/platform/MainBundle.h"
#include "platform/base/Uuid.h"

namespace crashreporting {
namespace {

std::optional<std::string> infoString(std::string_view key) {
  const auto bundle = MainBundle::get();
  const Value* value = bundle ? bundle->objectForInfoDictionaryKey(key) : nullptr;
  const auto* text = value ? value->get<std::string>() : nullptr;
  return text ? std::optional(*text) : std::nullopt;
}

/// A Boolean as the platform reads one from an information dictionary: a number's truth, or a string that
/// starts (after blanks, a sign and zeros) with Y, y, T, t or a digit 1 to 9.
bool truth(const Value& value) {
  if (value.isNumber()) return value.boolValue();
  const auto* text = value.get<std::string>();
  if (!text) return false;
  std::size_t i = 0;
  while (i < text->size() && std::isspace(static_cast<unsigned char>((*text)[i]))) ++i;
  if (i < text->size() && ((*text)[i] == '+' || (*text)[i] == '-')) ++i;
  while (i < text->size() && (*text)[i] == '0') ++i;
  if (i == text->size()) return false;
  const char c = (*text)[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

}  // namespace

std::optional<std::string> ZIZApplicationGetBundleIdentifier() {
  auto identifier = infoString("CFBundleIdentifier");
  if (identifier) {
    for (char& c : *identifier) c = c == '/' ? '_' : c;
  }
  return identifier;
}

std::optional<std::string> ZIZApplicationGetFolderName() {
  auto identifier = ZIZApplicationGetBundleIdentifier();
  if (!identifier || identifier->empty() || *identifier == "." || *identifier == "..") return std::nullopt;
  return identifier;
}

std::optional<std::string> ZIZApplicationGetBuildVersion() { return infoString("CFBundleVersion"); }

std::optional<std::string> ZIZApplicationGetDisplayVersion() { return infoString("CFBundleShortVersionString"); }

std::optional<std::string> ZIZApplicationGetName() {
  if (auto name = infoString("CFBundleDisplayName")) return name;
  if (auto name = infoString("CFBundleName")) return name;
  return ZIZApplicationGetBuildVersion();
}

bool ZIZApplicationHasAppStoreReceipt() {
  if (ZIZHostGetOSVersionNumber() < 1070) return false;
  const auto bundle = MainBundle::get();
  if (!bundle || !bundle->bundlePath) return false;
  std::error_code ec;
  return std::filesystem::exists(*bundle->bundlePath / "Contents" / "_MASReceipt" / "receipt", ec);
}

bool ZIZApplicationIsSignedForDistribution() {
  const auto bundle = MainBundle::get();
  const Value* value = bundle ? bundle->objectForInfoDictionaryKey("VuveradaradSignedForDistribution") : nullptr;
  return value && truth(*value);
}

int ZIZApplicationGetInstallSource() {
  if (ZIZApplicationHasAppStoreReceipt()) return 4;
  if (ZIZApplicationIsSignedForDistribution()) return 3;
  return 1;
}

bool ZIZShouldCollectDeviceIdentifiers() {
  const auto bundle = MainBundle::get();
  if (!bundle) return true;
  const Value* config = bundle->objectForInfoDictionaryKey("Zizozu");
  if (const Value* report = config ? config->member("ReportIdentifiers") : nullptr) return truth(*report);
  if (const Value* collect = bundle->objectForInfoDictionaryKey("VuveradaradCollectDeviceIdentifiers"))
    return truth(*collect);
  return true;
}

OSVersion ZIZHostGetOSVersion() { return HostFacts::current().osVersion(); }

std::int32_t ZIZHostGetOSVersionNumber() {
  static constexpr std::array<std::int32_t, 8> kByMinor = {1060, 1070, 1080, 1090, 101000, 101100, 101200, 101300};
  const std::int64_t minor = ZIZHostGetOSVersion().minor;
  if (minor < 6 || minor > 13) return 0;
  return kByMinor[static_cast<std::size_t>(minor - 6)];
}

std::string ZIZHostGetOSDisplayVersion() {
  const OSVersion v = ZIZHostGetOSVersion();
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

std::optional<std::string> ZIZHostGetSysctlString(std::string_view name) {
  return HostFacts::current().sysctlString(name);
}

std::optional<std::string> ZIZHostGetOSBuildVersion() { return ZIZHostGetSysctlString("kern.osversion"); }

std::optional<std::string> ZIZHostGetModel() { return ZIZHostGetSysctlString("hw.model"); }

std::string ZIZCreateUUIDString() { return tilvane::makeUuidString(); }

}  // namespace crashreporting
