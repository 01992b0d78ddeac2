#include "crashreporting/Kit/ZIZSettings.h"

#include <system_error>

#include "crashreporting/Kit/KitConstants.h"
#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Kit/ZIZURLBuilder.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Json.h"
#include "crashreporting/platform/SystemLog.h"

namespace crashreporting {
namespace {

// Far beyond any settings the service sends.
constexpr std::size_t kMaxSettingsBytes = 16u * 1024 * 1024;

std::optional<Value> optionalText(const std::optional<std::string>& text) {
  return text ? std::optional<Value>(Value(*text)) : std::nullopt;
}

}  // namespace

std::optional<Dictionary> ZIZSettings::settingsDictionary() {
  const std::lock_guard lock(mutex_);
  if (settingsDictionary_) return settingsDictionary_;
  const FileContents contents = readFileContents(settingsPath_, kMaxSettingsBytes);
  if (contents.status == FileContents::Status::unreadable && !unreadableLogged_) {
    // Read again at each use, so said once: the next download replaces whatever stands in the file's place.
    unreadableLogged_ = true;
    SystemLog::write("[Zizozu] Could not read settings at " + settingsPath_.string() + ": " + contents.error);
  }
  if (!contents.ok()) return std::nullopt;
  const std::string& text = contents.bytes;
  std::string error;
  const auto value = json::decode(text, error);
  const auto* object = value ? value->get<Dictionary>() : nullptr;
  if (!object) {
    if (value) error = "the settings are not a JSON object";
    SystemLog::write("[Zizozu] Could not load settings with error: " + error);
    std::error_code ignored;
    std::filesystem::remove(settingsPath_, ignored);
    return std::nullopt;
  }
  settingsDictionary_ = *object;
  return settingsDictionary_;
}

void ZIZSettings::clearSettingsDictionary() {
  const std::lock_guard lock(mutex_);
  settingsDictionary_.reset();
  unreadableLogged_ = false;
}

std::optional<Dictionary> ZIZSettings::appSettings() {
  const auto settings = settingsDictionary();
  if (!settings) return std::nullopt;
  const auto it = settings->find("app");
  const auto* app = it == settings->end() ? nullptr : it->second.get<Dictionary>();
  return app ? std::optional(*app) : std::nullopt;
}

std::optional<std::string> ZIZSettings::appStatus() {
  const auto app = appSettings();
  if (!app) return std::nullopt;
  const auto it = app->find("status");
  const auto* status = it == app->end() ? nullptr : it->second.get<std::string>();
  return status ? std::optional(*status) : std::nullopt;
}

bool ZIZSettings::appNeedsOnboarding() { return appStatus() == "new"; }

bool ZIZSettings::appUpdateRequired() {
  const auto app = appSettings();
  if (!app) return false;
  const auto it = app->find("update_required");
  return it != app->end() && it->second.boolValue();
}

std::optional<std::string> ZIZSettings::appBundleIdentifier() { return ZIZApplicationGetBundleIdentifier(); }
std::string ZIZSettings::appPlatform() { return ZIZPlatform; }
std::optional<std::string> ZIZSettings::appBuildVersion() { return ZIZApplicationGetBuildVersion(); }
std::optional<std::string> ZIZSettings::appDisplayVersion() { return ZIZApplicationGetDisplayVersion(); }
int ZIZSettings::appSource() { return ZIZApplicationGetInstallSource(); }

std::string ZIZSettings::settingsURLForEndpoint(std::string_view endpoint,
                                                const std::optional<std::string>& appInstanceIdentifer,
                                                const std::optional<std::string>& appIconHash) {
  ZIZURLBuilder builder = ZIZURLBuilder::URLWithBase(endpoint);
  builder.appendComponent("/spi/v2/platforms/");
  builder.escapeAndAppendComponent(appPlatform());
  builder.appendComponent("/apps/");
  builder.escapeAndAppendComponent(appBundleIdentifier().value_or(""));
  builder.appendComponent("/settings");
  builder.appendValue(optionalText(appBuildVersion()), "build_version");
  builder.appendValue(optionalText(appDisplayVersion()), "display_version");
  builder.appendValue(optionalText(appInstanceIdentifer), "instance");
  builder.appendValue(optionalText(appIconHash), "icon_hash");
  builder.appendValue(Value(appSource()), "source");
  return builder.URLString();
}

}  // namespace crashreporting
