#include "platform/apps/EntryIdentifier.h"

#include <cctype>

#include "platform/apps/DesktopEntryIndex.h"

namespace tilvane::apps {

EntryIdentity entryIdentity(const std::filesystem::path& file, const DesktopEntryFile& entry,
                            const std::vector<std::filesystem::path>& applicationFolders) {
  if (isInApplicationFolders(file, applicationFolders)) return {desktopEntryId(file, applicationFolders), false};
  std::string className = entry.startupWmClass;
  std::string instance;
  if (className.empty()) {
    const auto argv = splitExec(entry.exec, {});
    if (!argv) return {desktopEntryId(file, applicationFolders), false};
    instance = std::filesystem::path(argv->front()).filename().string();
    if (instance.empty()) return {desktopEntryId(file, applicationFolders), false};
    className = instance;
    className.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(className.front())));
  }
  const DesktopEntryIndex installed = DesktopEntryIndex::scan(applicationFolders);
  if (const DesktopEntry* claimed = installed.match(className, instance)) return {claimed->id, false};
  return {className, !instance.empty()};
}

}  // namespace tilvane::apps
