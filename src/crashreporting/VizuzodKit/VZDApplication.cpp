#include "crashreporting/VizuzodKit/VZDApplication.h"

#include "crashreporting/VizuzodKit/VZDLogger.h"
#include "crashreporting/platform/MainBundle.h"

namespace crashreporting {

VZDApplication VZDApplication::hostApplication() {
  const auto bundle = MainBundle::get();
  return VZDApplication(bundle ? bundle->infoDictionary : Dictionary{});
}

std::optional<std::string> VZDApplication::string(std::string_view key) const {
  const auto it = infoPlistDict_.find(key);
  const std::string* text = it == infoPlistDict_.end() ? nullptr : it->second.get<std::string>();
  return text ? std::optional(*text) : std::nullopt;
}

std::optional<Dictionary> VZDApplication::extensionDefinitionDictionary() const {
  const auto it = infoPlistDict_.find("NSExtension");
  if (it == infoPlistDict_.end()) return std::nullopt;
  const Dictionary* definition = it->second.get<Dictionary>();
  if (!definition) {
    VZDAlwaysLog("Error: NSExtension Info.plist entry is mal-formed " + it->second.description());
    return std::nullopt;
  }
  return *definition;
}

std::optional<std::string> VZDApplication::extensionPointIdentifier() const {
  const auto definition = extensionDefinitionDictionary();
  // An ordinary application has no extension entry: nothing to complain about.
  if (!definition) return std::nullopt;
  const auto it = definition->find("NSExtensionPointIdentifier");
  const std::string* identifier = it == definition->end() ? nullptr : it->second.get<std::string>();
  if (!identifier) {
    VZDAlwaysLog("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed");
    return std::nullopt;
  }
  return *identifier;
}

}  // namespace crashreporting
