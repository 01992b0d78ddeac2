#pragma once

#include "Models/ModelFields.h"
#include "Models/ModelsFwd.h"
#include "Models/WorkspaceLayoutItemModel.h"

// items: the windows to restore, in the order they were appended (a link table).
#define TILVANE_WORKSPACE_LAYOUT_GROUP_MODEL_FIELDS(F)             \
  F(Text, id, Id, [] { return makeUuidString(); })                 \
  F(Text, name, Name, [] { return NSLocalizedString("NewSpace"); }) \
  F(List, items, Items, WorkspaceLayoutItemModel)

namespace tilvane {

/// One saved workspace: a name and the ordered windows to restore.
class WorkspaceLayoutGroupModel final : public store::Object {
 public:
  WorkspaceLayoutGroupModel();
  static const store::ObjectSchema& schema();

  TILVANE_MODEL_FIELDS(TILVANE_WORKSPACE_LAYOUT_GROUP_MODEL_FIELDS)
};

}  // namespace tilvane
