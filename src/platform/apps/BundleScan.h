#pragma once

#include <string>
#include <vector>

namespace tilvane::apps {

/// The names, relative to `folder`, of the application bundles in it and in its direct sub-folders: every entry
/// whose extension, lower-cased, is "app" ("Foo.APP" counts), and in each ordinary sub-folder every such entry
/// ("Utilities/Terminal.app"), without looking deeper. Entries are taken in name order. Nothing when the folder
/// cannot be listed; a sub-folder that cannot be listed yields its own name (kept only if it ends in ".app").
/// At most 10,000 entries are looked at per folder.
std::vector<std::string> scanApplicationsFolder(const std::string& folder);

/// Whether the path's extension, lower-cased, is "app".
bool hasAppExtension(const std::string& path);

}  // namespace tilvane::apps
