#include "crashreporting/Reports/VRDBetaUpdate.h"

#include <string_view>

#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/Reports/VRDSettings.h"
#include "crashreporting/platform/URLRequest.h"

namespace crashreporting {

bool VRDIsURLText(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos)
      return false;
  }
  return true;
}

std::optional<VRDBetaUpdate> VRDBetaUpdate::initWithDictionary(const Value& dictionary) {
  if (dictionary.get<Dictionary>() == nullptr) return std::nullopt;
  const Value* url = dictionary.member("url");
  const std::string* text = url ? url->get<std::string>() : nullptr;
  if (text == nullptr || !VRDIsURLText(*text)) return std::nullopt;
  VRDBetaUpdate update;
  update.url_ = *text;
  if (const Value* version = dictionary.member("version_string"))
    if (const auto* versionText = version->get<std::string>()) update.version_ = *versionText;
  return update;
}

std::optional<VRDBetaUpdate> VRDBetaUpdate::betaUpdateWithDictionary(const Value& dictionary,
                                                                    std::optional<Error>& error) {
  auto update = initWithDictionary(dictionary);
  if (!update) error = Error{kURLErrorDomain, URLErrorCannotParseResponse, {}, {}};
  return update;
}

std::string VRDBetaUpdate::promptTitle() const {
  return VRDLocalizedString("VuveradaradDistributionPromptTitle", "Vuveradarad", "New Build Available");
}

std::string VRDBetaUpdate::promptMessage() const {
  std::string message = VRDLocalizedString("VuveradaradDistributionPromptMessage", "Vuveradarad",
                                           "A new version of %@ is available for testing.");
  if (const auto at = message.find("%@"); at != std::string::npos)
    message.replace(at, 2, ZIZApplicationGetName().value_or(""));
  return message;
}

std::string VRDBetaUpdate::cancelLabel() const {
  return VRDLocalizedString("VuveradaradDistributionPromptCancelTitle", "Vuveradarad", "Cancel");
}

std::string VRDBetaUpdate::installLabel() const {
  return VRDLocalizedString("VuveradaradDistributionPromptInstallTitle", "Vuveradarad", "Install");
}

}  // namespace crashreporting
