#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tilvane {

// The window server's listing of displays and their desktops ("Spaces"). Every field is optional because the
// listing is another program's data: an entry may be missing or of an unexpected type, and readers must cope.

/// One desktop of the listing.
struct ManagedSpace {
  /// "uuid": the desktop's identifier, unique among desktops and stable while the desktop exists. A backend
  /// whose desktops have no identifier of their own derives one (for instance from the desktop's number).
  /// Absent when missing or not a string.
  std::optional<std::string> uuid;
  bool operator==(const ManagedSpace&) const = default;
};

/// One display of the listing.
struct ManagedDisplay {
  /// "Display Identifier": the display's UUID, the same string CGSCopyBestManagedDisplayForRect gives for it.
  /// Absent when missing or not a string.
  std::optional<std::string> displayIdentifier;
  /// "Spaces": the display's desktops in the window server's order. Absent when missing or not a list of
  /// dictionaries.
  std::optional<std::vector<ManagedSpace>> spaces;
  /// "Current Space": the desktop the display shows. Absent when missing or not a dictionary.
  std::optional<ManagedSpace> currentSpace;
  bool operator==(const ManagedDisplay&) const = default;
};

/// The whole listing, displays in the window server's order. When every display shares one set of desktops,
/// each entry lists that set (readers take the first entry).
using ManagedDisplaySpaces = std::vector<ManagedDisplay>;

}  // namespace tilvane
