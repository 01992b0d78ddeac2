// The workspace list file that the Alfred workflow reads.
#include <plist/plist.h>

#include <cstdlib>
#include <memory>

#include "AppManager/Store/AtomicFile.h"
#include "AppManager/Store/StoreService.h"
#include "Models/WorkspaceLayoutGroupModel.h"

namespace tilvane {
namespace {

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistNode = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistDeleter>;

}  // namespace

std::filesystem::path StoreService::alfredSpacesFile() {
  if (const char* redirected = std::getenv("TILVANE_ALFRED_FILE"); redirected && *redirected) return redirected;
  return "/usr/local/var/tilvane/afredsupport/space.xml";
}

void StoreService::exportAlfredSpaces() const {
  PlistNode dictionary(plist_new_dict());
  for (const auto& workspace : workspaces())
    plist_dict_set_item(dictionary.get(), workspace->id().c_str(), plist_new_string(workspace->name().c_str()));

  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(dictionary.get(), &xml, &length);
  if (!xml) return;
  const std::string bytes(xml, length);
  plist_to_xml_free(xml);

  const auto file = alfredSpacesFile();
  std::error_code ignored;
  std::filesystem::create_directories(file.parent_path(), ignored);
  writeFileAtomically(file, bytes);
}

}  // namespace tilvane
