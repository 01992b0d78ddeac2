#include "Models/WorkspaceLayoutGroupModel.h"

#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/base/Uuid.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

WorkspaceLayoutGroupModel::WorkspaceLayoutGroupModel() : store::Object(schema()) {}

const store::ObjectSchema& WorkspaceLayoutGroupModel::schema() {
  using store::Property;
  static const store::ObjectSchema s(
      "WorkspaceLayoutGroupModel",
      {Property::string("id", [] { return makeUuidString(); }),
       Property::string("name", [] { return NSLocalizedString("NewSpace"); }),
       Property::list("items", &WorkspaceLayoutItemModel::schema)},
      [] { return std::make_shared<WorkspaceLayoutGroupModel>(); });
  return s;
}

void WorkspaceLayoutGroupModel::setItems(const std::vector<WorkspaceLayoutItemModelPtr>& items) {
  listRef(kItems).assign(std::vector<std::shared_ptr<store::Object>>(items.begin(), items.end()));
}

}  // namespace tilvane
