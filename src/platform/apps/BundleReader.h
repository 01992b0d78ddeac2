#pragma once

#include <optional>
#include <string>

#include "platform/apps/InstalledApplication.h"
#include "platform/defaults/Value.h"

namespace tilvane::apps {

// Reading an application bundle: a folder "<Name>.app" with "Contents/Info.plist" (XML or binary property list)
// and its resources under "Contents/Resources".

/// The bundle's "Contents/Info.plist" as a dictionary; absent when it is missing, larger than 4 MiB, not a
/// property list, or its root is not a dictionary.
std::optional<defaults::Dictionary> readInfoPlist(const std::string& bundlePath);

/// Whether the bundle declares itself an agent: its property list reads and holds "LSUIElement" as the
/// Boolean true. Any other value (the text "1" included), a missing key or an unreadable list: not an agent.
bool isAgentBundle(const std::string& bundlePath);

/// `iconFile` with ".icns" appended unless its last five characters are exactly ".icns".
std::string iconFileName(const std::string& iconFile);

/// The bundle's description: "CFBundleName" (else the bundle folder's name less its extension),
/// "CFBundleIdentifier" (else empty) and the icon path "<bundle>/Contents/Resources/" + the ".icns" form of
/// "CFBundleIconFile" (else of the empty name); the icon file is not checked. Absent when the property list
/// cannot be read.
std::optional<InstalledApplication> readBundle(const std::string& bundlePath);

/// The icon path the bundle declares under "CFBundleIconFile" (in its ".icns" form); absent when the property
/// list cannot be read or holds no text there.
std::optional<std::string> bundleIconPath(const std::string& bundlePath);

}  // namespace tilvane::apps
