#include "StoreTestSupport.h"

#include "platform/defaults/PlistCodec.h"

namespace tilvane::test {

StoreServiceTest::StoreServiceTest() : alfred_("TILVANE_ALFRED_FILE", alfredFile().string()) {
  StoreService::shared().configureRealm();
  log.clear();
}

std::optional<std::map<std::string, std::string>> StoreServiceTest::alfredEntries() const {
  std::string error;
  const auto dictionary = defaults::decodePlistDictionary(readFile(alfredFile()), error);
  if (!dictionary) return std::nullopt;
  std::map<std::string, std::string> entries;
  for (const auto& [id, name] : *dictionary) {
    const auto* text = name.get<std::string>();
    if (!text) return std::nullopt;
    entries[id] = *text;
  }
  return entries;
}

}  // namespace tilvane::test
