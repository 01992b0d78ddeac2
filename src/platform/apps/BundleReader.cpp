#include "platform/apps/BundleReader.h"

#include <filesystem>

#include "platform/defaults/FileIo.h"
#include "platform/defaults/PlistCodec.h"

namespace tilvane::apps {
namespace {

constexpr std::size_t kMaxInfoPlistBytes = 4 * 1024 * 1024;

const std::string* textValue(const defaults::Dictionary& dict, std::string_view key) {
  const auto it = dict.find(key);
  return it == dict.end() ? nullptr : it->second.get<std::string>();
}

std::string iconPath(const std::string& bundlePath, const std::string& iconFile) {
  return bundlePath + "/Contents/Resources/" + iconFileName(iconFile);
}

/// "Foo" for "/Applications/Foo.app" (or "/Applications/Foo.app/").
std::string bundleFolderName(const std::string& bundlePath) {
  std::filesystem::path path(bundlePath);
  if (!path.has_filename()) path = path.parent_path();
  return path.stem().string();
}

}  // namespace

std::optional<defaults::Dictionary> readInfoPlist(const std::string& bundlePath) {
  const defaults::FileRead read =
      defaults::readFileBounded(std::filesystem::path(bundlePath) / "Contents" / "Info.plist", kMaxInfoPlistBytes);
  if (read.status != defaults::FileRead::Status::ok) return std::nullopt;
  std::string error;
  return defaults::decodePlistDictionary(read.bytes, error);
}

bool isAgentBundle(const std::string& bundlePath) {
  const auto info = readInfoPlist(bundlePath);
  if (!info) return false;
  const auto it = info->find("LSUIElement");
  if (it == info->end()) return false;
  const bool* flag = it->second.get<bool>();
  return flag && *flag;
}

std::string iconFileName(const std::string& iconFile) {
  constexpr std::string_view kExtension = ".icns";
  if (iconFile.size() >= kExtension.size() &&
      iconFile.compare(iconFile.size() - kExtension.size(), kExtension.size(), kExtension) == 0)
    return iconFile;
  return iconFile + std::string(kExtension);
}

std::optional<InstalledApplication> readBundle(const std::string& bundlePath) {
  const auto info = readInfoPlist(bundlePath);
  if (!info) return std::nullopt;
  InstalledApplication app;
  if (const std::string* name = textValue(*info, "CFBundleName"))
    app.name = *name;
  else
    app.name = bundleFolderName(bundlePath);
  if (const std::string* identifier = textValue(*info, "CFBundleIdentifier")) app.bundleIdentifier = *identifier;
  const std::string* iconFile = textValue(*info, "CFBundleIconFile");
  app.icon = iconPath(bundlePath, iconFile ? *iconFile : std::string());
  return app;
}

std::optional<std::string> bundleIconPath(const std::string& bundlePath) {
  const auto info = readInfoPlist(bundlePath);
  if (!info) return std::nullopt;
  const std::string* iconFile = textValue(*info, "CFBundleIconFile");
  if (!iconFile) return std::nullopt;
  return iconPath(bundlePath, *iconFile);
}

}  // namespace tilvane::apps
