#pragma once

#include <string>
#include <vector>

#include "Models/ModelsFwd.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/store/List.h"
#include "platform/store/Object.h"

namespace tilvane {

/// One saved workspace: a name and the ordered windows to restore.
class WorkspaceLayoutGroupModel final : public store::Object {
 public:
  /// A new workspace with a fresh UUID id, the localised "NewSpace" as name and no items.
  WorkspaceLayoutGroupModel();
  static const store::ObjectSchema& schema();

  std::string id() const { return stringValue(kId); }
  void setId(std::string v) { setValue(kId, std::move(v)); }
  std::string name() const { return stringValue(kName); }
  void setName(std::string v) { setValue(kName, std::move(v)); }
  /// The windows of the workspace, in the order they were appended.
  store::List<WorkspaceLayoutItemModel> items() const { return store::List<WorkspaceLayoutItemModel>(listRef(kItems)); }
  void setItems(const std::vector<WorkspaceLayoutItemModelPtr>& items);

 private:
  enum : std::size_t { kId, kName, kItems };
};

}  // namespace tilvane
