#include "StoreTestSupport.h"

#include <plist/plist.h>

namespace tilvane::test {

StoreServiceTest::StoreServiceTest() : alfred_("TILVANE_ALFRED_FILE", alfredFile().string()) {
  StoreService::shared().configureRealm();
  log.clear();
}

std::optional<std::map<std::string, std::string>> StoreServiceTest::alfredEntries() const {
  const std::string xml = readFile(alfredFile());
  if (xml.empty()) return std::nullopt;
  plist_t root = nullptr;
  plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
  if (!root) return std::nullopt;
  std::optional<std::map<std::string, std::string>> entries;
  if (plist_get_node_type(root) == PLIST_DICT) {
    entries.emplace();
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(root, &it);
    for (;;) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(root, it, &key, &value);
      if (!key) break;
      char* text = nullptr;
      if (plist_get_node_type(value) == PLIST_STRING) plist_get_string_val(value, &text);
      if (text) (*entries)[key] = text;
      else entries.reset();
      free(key);
      free(text);
      if (!entries) break;
    }
    free(it);
  }
  plist_free(root);
  return entries;
}

}  // namespace tilvane::test
