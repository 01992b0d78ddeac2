#pragma once

#include "Models/ModelFields.h"

// The window's application, document and title, its desktop and display with their counts, and its frame in
// fractions of the display's visible frame, grown by the gutter (the gap they were taken with; added last, so
// files made before read it as 0) on every side, from its top-left corner. Last, the process that showed the window
// the item's own launch gave ("<pid> <start seconds>", empty: none known), which tells that window from those of
// programs started from it, which inherit the launch's mark; it is added last too, so older files read it empty.
#define TILVANE_WORKSPACE_LAYOUT_ITEM_MODEL_FIELDS(F) \
  F(Text, id, Id, [] { return makeUuidString(); })    \
  F(Text, devicesIdentifier, DevicesIdentifier)       \
  F(Text, bundleIdentifier, BundleIdentifier)         \
  F(Text, appPath, AppPath)                           \
  F(Text, filePath, FilePath)                         \
  F(Text, windowTitle, WindowTitle)                   \
  F(Int, spaceIndex, SpaceIndex, 0)                   \
  F(Int, spaceCount, SpaceCount, 1)                   \
  F(Int, screenIndex, ScreenIndex, 0)                 \
  F(Int, screenCount, ScreenCount, 1)                 \
  F(Real, x, X)                                       \
  F(Real, y, Y)                                       \
  F(Real, width, Width)                               \
  F(Real, height, Height)                             \
  F(Real, gutter, Gutter)                             \
  F(Text, launchProcess, LaunchProcess)

namespace tilvane {

/// One remembered window of a workspace.
class WorkspaceLayoutItemModel final : public store::Object {
 public:
  WorkspaceLayoutItemModel();
  static const store::ObjectSchema& schema();

  TILVANE_MODEL_FIELDS(TILVANE_WORKSPACE_LAYOUT_ITEM_MODEL_FIELDS)
};

}  // namespace tilvane
