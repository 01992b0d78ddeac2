#pragma once

#include <optional>
#include <string>

#include "Models/ModelsFwd.h"

namespace tilvane {

/// What a workspace item's row says of its application.
struct ItemApplication {
  /// The application's name; for a program without a desktop entry, its program file's name; else the saved
  /// identifier; empty when the item names nothing.
  std::string name;
  /// The icon reference for the row's cell (a file or an icon name, or "Finder"); absent without one.
  std::optional<std::string> icon;
  /// False when neither the catalogue nor the file system has the application: a restore cannot start it.
  bool found = false;
};

/// Describes the item's application: the application at its path (a desktop entry) when it can be read; the
/// catalogue's entry with its bundle identifier; the program file at its path when that is one; without a path,
/// the program that runs under the bundle identifier or that a launch of it would start; else not found.
ItemApplication describeItemApplication(const WorkspaceLayoutItemModel& item);

/// The row's text: the name, with a note when the application cannot be found.
std::string itemRowText(const ItemApplication& application);

}  // namespace tilvane
